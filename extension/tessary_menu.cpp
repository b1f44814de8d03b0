// tessary-menu: drives the extension object from the command line, as the file manager
// would, and prints the menu it returns as JSON (or null when it returns none).
//
//   tessary-menu --kind items|container [--target PATH] [--selected PATH]...
//                [--choose TAG]
//
// With --choose the item tagged TAG is chosen and the request URL handed to the host is
// printed instead. The host is the `tessary` beside this program.
#include "extension/menu_extension.h"

#include <charconv>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

#include <nlohmann/json.hpp>

namespace {

using namespace tessary;

nlohmann::ordered_json toJson(const MenuItem& item)
{
    nlohmann::ordered_json object = {{"title", item.title}};
    if (item.tag) {
        object["tag"] = *item.tag;
    }
    object["image"] = item.image;
    object["icon"] =
        item.icon ? nlohmann::ordered_json(*item.icon) : nlohmann::ordered_json(nullptr);
    if (!item.submenu.empty()) {
        nlohmann::ordered_json submenu = nlohmann::ordered_json::array();
        for (const MenuItem& child : item.submenu) {
            submenu.push_back(toJson(child));
        }
        object["submenu"] = std::move(submenu);
    }
    return object;
}

int usage()
{
    std::cerr << "usage: tessary-menu --kind items|container [--target PATH] "
                 "[--selected PATH]... [--choose TAG]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, ""); // the titles in the user's language, as in the file manager
    static const std::map<std::string_view, MenuKind> kKinds = {
        {"items", MenuKind::items},
        {"container", MenuKind::container},
    };
    std::optional<MenuKind> kind;
    std::optional<std::string> target;
    std::vector<std::string> selected;
    std::optional<std::int64_t> choice;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc) {
            return usage();
        }
        const std::string_view value = argv[++i];
        if (option == "--kind" && kKinds.contains(value)) {
            kind = kKinds.at(value);
        } else if (option == "--target") {
            target = std::string(value);
        } else if (option == "--selected") {
            selected.emplace_back(value);
        } else if (option == "--choose") {
            std::int64_t tag = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), tag);
            if (error != std::errc() || end != value.data() + value.size()) {
                return usage();
            }
            choice = tag;
        } else {
            return usage();
        }
    }
    if (!kind) {
        return usage();
    }

    try {
        const auto self = std::filesystem::read_symlink("/proc/self/exe");
        MenuExtension menuExtension{HostHandOver(self.parent_path() / "tessary")};
        const auto built = menuExtension.menu(*kind, target, selected);
        if (choice) {
            // Without a menu the item comes from an earlier build: the state it left.
            const MenuContext context =
                built ? *built->context : menuExtension.currentContext(target, selected);
            const auto url = menuExtension.createFile(*choice, context);
            if (!url) {
                return 1;
            }
            std::cout << *url << '\n';
            return 0;
        }
        if (!built) {
            std::cout << "null\n";
            return 0;
        }
        nlohmann::ordered_json items = nlohmann::ordered_json::array();
        for (const MenuItem& item : built->menu.items) {
            items.push_back(toJson(item));
        }
        std::cout << nlohmann::ordered_json{{"items", std::move(items)}}.dump(2) << '\n';
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "tessary-menu: " << error.what() << '\n';
        return 1;
    }
}
