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
    for (const std::string& argument : arguments) {
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
    return "Usage:\n"
           "  tessary [--activate] [--login] [URL...]\n"
           "      Run in the background and create files for the file manager's menu; a second\n"
           "      start hands its URLs to the running instance.\n"
           "  tessary --shortcut\n"
           "      Act on a press of the global shortcut (the desktop's keybinding runs this):\n"
           "      create a file in the folder the file manager shows, starting Tessary if\n"
           "      it does not run.\n"
           "  tessary new [--template INDEX] [DIR]\n"
           "      Create a file from a template (default: the default template) in DIR\n"
           "      (default: the current folder) and print its path.\n"
           "  tessary grant DIR\n"
           "      Allow Tessary to create files in DIR and every folder below it.\n"
           "  tessary forget\n"
           "      Drop that permission.\n"
           "  tessary check-updates\n"
           "      Ask the product website for the newest version and print whether this one is\n"
           "      up to date (exit status 0), or why the check failed (exit status 1).\n"
           "  tessary --help | --version\n";
}

} // namespace tessary
