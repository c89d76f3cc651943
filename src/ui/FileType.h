#pragma once

#include <string>
#include <vector>

namespace lark {

// A document file type as the application declares it. Linux desktops have no type and
// creator codes, so the record is only kept: registering it changes nothing on screen.
struct FileType {
    std::string name;
    std::string extensions;
    std::string macType;
    std::string macCreator;
    friend bool operator==(const FileType&, const FileType&) = default;
};

class FileTypeRegistry {
  public:
    void Register(const FileType& type) { types_.push_back(type); }
    const std::vector<FileType>& Registered() const { return types_; }

  private:
    std::vector<FileType> types_;
};

}  // namespace lark
