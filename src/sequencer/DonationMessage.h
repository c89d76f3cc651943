#pragma once

#include <string>

namespace lark {

// The four-line message that closes a performance, asking for a small donation.
std::string DonationMessage();

}  // namespace lark
