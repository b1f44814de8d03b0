// Parsing of the host's arguments.
#include "lifecycle/command_line.h"

#include "shared/create_request.h"

namespace tessary {
namespace {

CommandLine invalid(std::string error)
{
    CommandLine line;
    line.mode = CommandLine::Mode::invalid;
    line.error = std::move(error);
    return line;
}

CommandLine parseNew(const std::vector<std::string>& arguments)
{
    CommandLine line;
    line.mode = CommandLine::Mode::create;
    bool haveDirectory = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--template" || argument.starts_with("--template=")) {
            const bool inlineValue = argument.starts_with("--template=");
            if (!inlineValue && i + 1 >= arguments.size()) {
                return invalid("--template needs an index");
            }
            const std::string value = inlineValue ? argument.substr(11) : arguments[++i];
            line.templateIndex = parseTemplateIndex(value);
            if (!line.templateIndex) {
                return invalid(std::string("not a template index: ").append(value));
            }
        } else if (argument.starts_with("-") && argument != "-") {
            return invalid(std::string("unknown option for new: ").append(argument));
        } else if (haveDirectory) {
            return invalid("new takes one folder");
        } else {
            line.directory = argument;
            haveDirectory = true;
        }
    }
    if (!haveDirectory) {
        line.directory = std::string(1, '.'); // the current folder
    }
    return line;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    if (!arguments.empty()) {
        const std::string& first = arguments.front();
        if (first == "new") {
            return parseNew(arguments);
        }
        if (first == "grant") {
            if (arguments.size() != 2) {
                return invalid("grant takes one folder");
            }
            CommandLine line;
            line.mode = CommandLine::Mode::grant;
            line.directory = arguments[1];
            return line;
        }
        if (first == "forget" || first == "check-updates") {
            if (arguments.size() != 1) {
                return invalid(first + " takes no arguments");
            }
            CommandLine line;
            line.mode =
                first == "forget" ? CommandLine::Mode::forget : CommandLine::Mode::checkUpdates;
            return line;
        }
    }
    CommandLine line;
    for (auto next = arguments.begin(); next != arguments.end(); ++next) {
        const std::string& argument = *next;
        if (argument == "--help" || argument == "-h") {
            line.mode = CommandLine::Mode::help;
            return line;
        }
        if (argument == "--version") {
            line.mode = CommandLine::Mode::version;
            return line;
        }
        if (argument == "--login") {
            line.login = true;
        } else if (argument == "--activate") {
            line.activate = true;
        } else if (argument == "--shortcut") {
            line.shortcut = true;
        } else if (argument == "--file-manager") {
            if (++next == arguments.end() || next->empty()) {
                return invalid("--file-manager takes a bus name");
            }
            line.fileManager = *next;
        } else if (argument.starts_with("-")) {
            return invalid(std::string("unknown option: ").append(argument));
        } else {
            line.urls.push_back(argument);
        }
    }
    return line;
}

std::string usageText()
{
    // The man page is made from this text by help2man: "Commands:" and "Options:" become
    // its sections, and every verb and option is listed under one of them.
    std::string text = "Usage: tessary [--activate] [--file-manager NAME] [--login] [URL...]\n"
                       "  or:  tessary --shortcut\n"
                       "  or:  tessary new [--template INDEX] [DIR]\n"
                       "  or:  tessary grant DIR\n"
                       "  or:  tessary forget\n";
    if (TESSARY_UPDATE_CHECK) {
        text += "  or:  tessary check-updates\n";
    }
    text += "Create a new file from a template in any folder, from the file manager's menu.\n"
            "\n"
            "Without a command, tessary runs in the background, one instance per user, and\n"
            "creates the files that the file manager's menu asks for: each URL is a signed\n"
            "tessary://create request, as the file manager's module and the desktop entry pass\n"
            "them. A second start hands its URLs to the running instance and exits. Started\n"
            "without arguments it shows the settings window.\n"
            "\n"
            "Commands:\n"
            "  new [DIR]         create a file from the default template (or the one\n"
            "                    --template names) in DIR, default the current folder, and\n"
            "                    print its path\n"
            "  grant DIR         allow Tessary to create files in DIR and every folder below\n"
            "  forget            drop that permission\n";
    if (TESSARY_UPDATE_CHECK) {
        text += "  check-updates     ask the product website for the newest version and print\n"
                "                    whether this one is up to date (exit status 0), or why\n"
                "                    the check failed (exit status 1)\n";
    }
    text += "\n"
            "Options:\n"
            "  --template INDEX  with new: the template at INDEX in the list (0 is the\n"
            "                    first) instead of the default one\n"
            "  --activate        bring Tessary's windows and questions to the front for the\n"
            "                    URLs it is given\n"
            "  --file-manager NAME\n"
            "                    show the new files in the file manager that owns this\n"
            "                    D-Bus name (the one whose menu sent the URLs)\n"
            "  --login           started at login: run in the background without a window\n"
            "  --shortcut        act on a press of the global shortcut (the desktop's\n"
            "                    keybinding runs this): create a file in the folder the\n"
            "                    file manager shows, starting Tessary if it does not run\n"
            "  -h, --help        print this help and exit\n"
            "  --version         print the version and exit\n";
    return text;
}

} // namespace tessary
