// The symbol-to-icon table behind menuIcon().
#include "shared/menu_icons.h"

#include <array>
#include <unordered_map>

namespace tessary {
namespace {

// Adwaita has no icon for some ideas (a diff, a branch, a 3-D model); those take the
// nearest everyday icon rather than none, so every template item shows something.
constexpr std::array<SymbolIcon, 65> kSymbolIcons = {{
    {"doc", "text-x-generic-symbolic"},
    {"doc.badge.plus", "document-new-symbolic"},
    {"doc.on.doc", "edit-copy-symbolic"},
    {"doc.text", "text-x-generic-symbolic"},
    {"doc.richtext", "x-office-document-symbolic"},
    {"doc.text.image", "x-office-document-symbolic"},
    {"book", "accessories-dictionary-symbolic"},
    {"text.book.closed", "accessories-dictionary-symbolic"},
    {"function", "accessories-calculator-symbolic"},
    {"list.bullet.rectangle", "view-list-bullet-symbolic"},
    {"note.text", "document-edit-symbolic"},
    {"captions.bubble", "media-view-subtitles-symbolic"},
    {"plusminus", "view-dual-symbolic"},
    {"tablecells", "x-office-spreadsheet-symbolic"},
    {"rectangle.on.rectangle.angled", "x-office-presentation-symbolic"},
    {"curlybraces", "format-text-plaintext-symbolic"},
    {"slider.horizontal.3", "preferences-other-symbolic"},
    {"key", "dialog-password-symbolic"},
    {"lock", "changes-prevent-symbolic"},
    {"cylinder", "drive-harddisk-symbolic"},
    {"cylinder.split.1x2", "drive-multidisk-symbolic"},
    {"point.3.connected.trianglepath.dotted", "network-workgroup-symbolic"},
    {"network", "network-transmit-receive-symbolic"},
    {"arrow.triangle.branch", "go-jump-symbolic"},
    {"shippingbox", "system-software-install-symbolic"},
    {"hammer", "applications-engineering-symbolic"},
    {"globe", "web-browser-symbolic"},
    {"paintbrush", "preferences-desktop-appearance-symbolic"},
    {"chevron.left.forwardslash.chevron.right", "text-editor-symbolic"},
    {"swift", "text-editor-symbolic"},
    {"terminal", "utilities-terminal-symbolic"},
    {"applescript", "system-run-symbolic"},
    {"gearshape.2", "application-x-executable-symbolic"},
    {"photo", "image-x-generic-symbolic"},
    {"scribble.variable", "x-office-drawing-symbolic"},
    {"paintpalette", "applications-graphics-symbolic"},
    {"app.dashed", "view-app-grid-symbolic"},
    {"waveform", "audio-x-generic-symbolic"},
    {"music.note.list", "emblem-music-symbolic"},
    {"pianokeys", "applications-multimedia-symbolic"},
    {"film", "video-x-generic-symbolic"},
    {"cube", "emoji-objects-symbolic"},
    {"doc.zipper", "package-x-generic-symbolic"},
    {"externaldrive", "drive-removable-media-symbolic"},
    {"textformat", "font-x-generic-symbolic"},
    {"person.crop.rectangle", "x-office-address-book-symbolic"},
    {"envelope", "mail-unread-symbolic"},
    {"calendar", "x-office-calendar-symbolic"},
    {"map", "find-location-symbolic"},
    {"link", "insert-link-symbolic"},
    {"gamecontroller", "input-gaming-symbolic"},
    {"brain", "applications-science-symbolic"},
    {"chart.xyaxis.line", "x-office-spreadsheet-symbolic"},
    // The settings window's own symbols.
    {"gearshape", "emblem-system-symbolic"},
    {"checkmark.shield", "security-high-symbolic"},
    {"plus", "list-add-symbolic"},
    {"minus", "list-remove-symbolic"},
    {"sparkles", "starred-symbolic"},
    {"exclamationmark.triangle", "dialog-warning-symbolic"},
    {"exclamationmark.triangle.fill", "dialog-warning-symbolic"},
    {"checkmark.circle", "emblem-ok-symbolic"},
    {"checkmark.circle.fill", "emblem-ok-symbolic"},
    {"circle", "radio-symbolic"},
    {"questionmark.circle", "dialog-question-symbolic"},
    {"checkmark.seal", "emblem-default-symbolic"},
}};

} // namespace

std::optional<std::string_view> menuIcon(std::string_view symbol)
{
    static const auto table = [] {
        std::unordered_map<std::string_view, std::string_view> map;
        for (const SymbolIcon& entry : kSymbolIcons) {
            map.emplace(entry.symbol, entry.icon);
        }
        return map;
    }();
    if (const auto found = table.find(symbol); found != table.end()) {
        return found->second;
    }
    return std::nullopt;
}

} // namespace tessary
