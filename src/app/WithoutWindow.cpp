#include "app/WithoutWindow.h"

#include <QCoreApplication>
#include <csignal>
#include <iostream>

#include "app/RenderToFile.h"
#include "audio/SoundSystem.h"

namespace lark {

int RunWithoutWindow(const CommandLine& line, int& argc, char** argv) {
    switch (line.action) {
        case CommandLine::Action::Help:
            std::cout << HelpText();
            return 0;
        case CommandLine::Action::Version:
            std::cout << VersionText();
            return 0;
        case CommandLine::Action::Refuse:
            std::cerr << "larkspool8: " << line.refusal << " (see larkspool8 --help)" << std::endl;
            return 2;
        case CommandLine::Action::Render: {
            // A file grown past the size limit then fails its write, and the render cleans up,
            // instead of the process being ended with a partial file behind it.
            std::signal(SIGXFSZ, SIG_IGN);
            QCoreApplication core(argc, argv);  // the sound system's timer needs its thread's loop
            return RenderToFile(line, ReadClipResource, std::cout, std::cerr);
        }
        case CommandLine::Action::Play:
            break;
    }
    return 2;
}

}  // namespace lark
