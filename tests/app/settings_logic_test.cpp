// The settings window's rules without a display: pages, the store's load-change-save, the
// catalogue, the template list's operations, the editor's warnings, shortcut recording and
// the Setup and General pages' texts.
#include "shared/localization.h"
#include "settings/recommended_templates.h"
#include "settings/settings_page.h"
#include "settings/settings_store.h"
#include "settings/setup_guide.h"
#include "shortcut/shortcut_keys.h"
#include "settings/shortcut_recording.h"
#include "settings/status_rows.h"
#include "settings/template_list.h"
#include "settings/template_validation.h"

#include "test_support.h"

#include <clocale>
#include <libintl.h>
#include <set>

extern "C" int _nl_msg_cat_cntr; // glibc's count of catalogue changes

namespace tessary {
namespace {

FileTemplate named(const std::string& name, const std::string& ext = "txt")
{
    return {Uuid::random(), name, "untitled", ext, ""};
}

std::vector<std::string> names(const std::vector<FileTemplate>& templates)
{
    std::vector<std::string> result;
    for (const FileTemplate& t : templates) {
        result.push_back(t.name);
    }
    return result;
}

TEST(SettingsPages, InitialPageAndStoredValue)
{
    EXPECT_EQ(initialPage(SettingsPage::templates, false, true), SettingsPage::setup);
    EXPECT_EQ(initialPage(SettingsPage::general, true, false), SettingsPage::setup);
    EXPECT_EQ(initialPage(SettingsPage::templates, true, true), SettingsPage::templates);
    EXPECT_EQ(settingsPageFromRaw("templates"), SettingsPage::templates);
}

class SettingsStoreTest : public test::ConfigFolderTest {};

TEST_F(SettingsStoreTest, AChangeIsAppliedToTheStoredDocumentNotTheWindowsCopy)
{
    SettingsStore store;
    int published = 0;
    QObject::connect(&store, &SettingsStore::settingsChanged, [&] { ++published; });
    // Another writer (the disk grant) saves between the window's load and its change.
    SharedSettings other = SharedSettings::load();
    other.rootPath = "/srv";
    ASSERT_FALSE(other.save());
    store.update([](SharedSettings& s) { s.openAfterCreate = true; });
    store.update([](SharedSettings& s) { s.renameImmediately = s.openAfterCreate; });

    const SharedSettings saved = SharedSettings::load();
    EXPECT_EQ(saved.rootPath, "/srv");
    EXPECT_TRUE(saved.openAfterCreate && saved.renameImmediately);
    EXPECT_EQ(store.settings(), saved);
    EXPECT_EQ(published, 2);

    // A refresh shows what is stored without saving anything.
    store.setSettings(SharedSettings::defaults());
    EXPECT_EQ(SharedSettings::load(), saved);
    // A template that is gone (removed by another writer) reads empty, and its edit writes
    // nothing.
    const Uuid missing = Uuid::random();
    EXPECT_EQ(store.templateWithID(missing), (FileTemplate{missing, "", "", "", ""}));
    store.replaceTemplate(named("Ghost"), missing);
    EXPECT_EQ(SharedSettings::load(), saved);
}

TEST(RecommendedTemplates, ExtensionsAlreadyPresentCountAsAdded)
{
    const FileTemplate& json = recommendedTemplates()[2];
    EXPECT_TRUE(isAlreadyAdded(named("Text", "txt"), {named("Notes", "TXT")}));
    EXPECT_TRUE(isAlreadyAdded(named("Empty", ""), builtInTemplates()));
    EXPECT_FALSE(isAlreadyAdded(json, {named(json.name, "txt")})) << "names do not count";
}

TEST(TemplateListMoves, OffsetsMoveToAPositionCountedBeforeTheMove)
{
    // The offsets moved, the position counted before the move, the order after ("": none).
    const std::tuple<std::vector<std::size_t>, std::size_t, std::string> rows[] = {
        {{0}, 2, "BACDE"},    {{0}, 5, "BCDEA"},    {{4}, 0, "EABCD"},
        {{1, 3}, 0, "BDACE"}, {{1, 3}, 5, "ACEBD"}, {{3, 1}, 3, "ACBDE"},
        {{2}, 3, "ABCDE"},    {{5}, 0, ""},         {{0}, 6, ""},
    };
    for (const auto& [sources, destination, expected] : rows) {
        std::vector<char> list{'A', 'B', 'C', 'D', 'E'};
        const bool moved = moveOffsets(list, sources, destination);
        EXPECT_EQ(moved, !expected.empty());
        EXPECT_EQ(std::string(list.begin(), list.end()), moved ? expected : "ABCDE") << destination;
    }
}

class TemplateListTest : public test::ConfigFolderTest {};

TEST_F(TemplateListTest, RemovesAddsAndMovesKeepingASelectionAndNeverEmptyTheList)
{
    SharedSettings settings;
    settings.templates = {named("A"), named("B"), named("C")};
    settings.defaultTemplateID = settings.templates[2].id;
    ASSERT_FALSE(settings.save());
    SettingsStore store;
    TemplateList list(store);
    const std::vector<FileTemplate>& templates = store.settings().templates;
    const auto stored = [] {
        return names(SharedSettings::load().templates);
    };
    using Names = std::vector<std::string>;

    list.selectFirstIfNone();
    EXPECT_EQ(list.removalTitle(), "Remove the template “A”?");
    list.removeSelected();
    EXPECT_EQ(list.selection(), templates[0].id) << "the next one took its place";
    list.select(templates[1].id);
    list.removeSelected();
    EXPECT_EQ(stored(), Names{"B"});
    EXPECT_FALSE(SharedSettings::load().defaultTemplateID) << "the default was removed";
    EXPECT_EQ(list.selection(), templates[0].id) << "the new last one";
    EXPECT_FALSE(list.canRemove());
    list.removeSelected();
    EXPECT_EQ(templates.size(), 1u);

    // Added at the end and selected; a recommended one only while its extension is not there.
    list.addTemplate();
    EXPECT_EQ(templates.back().fileName(), "untitled.txt");
    EXPECT_EQ(list.selection(), templates.back().id);
    const FileTemplate& json = recommendedTemplates()[2];
    list.addRecommended(json);
    list.addRecommended(json);
    EXPECT_EQ(stored(), (Names{"B", "New Template", "JSON File"}));
    EXPECT_EQ(templates.back().contents, "{}\n");
    EXPECT_NE(templates.back().id, json.id);

    const Uuid b = templates[0].id;
    list.select(b);
    list.move(b, -1);
    list.move(b, +1);
    EXPECT_EQ(stored(), (Names{"New Template", "B", "JSON File"}));
    EXPECT_EQ(list.selection(), b);
    EXPECT_FALSE(list.canMove(0, -1));
    EXPECT_FALSE(list.canMove(2, +1));
    list.dragMove({0, 2}, 3);
    EXPECT_EQ(stored(), (Names{"B", "New Template", "JSON File"}));
    // A list changed elsewhere in the meantime: a position beyond it changes nothing.
    SharedSettings shorter = SharedSettings::load();
    shorter.templates.pop_back();
    ASSERT_FALSE(shorter.save());
    list.dragMove({2}, 0);
    EXPECT_EQ(stored(), (Names{"B", "New Template"}));
}

TEST(TemplateEditorWarnings, LabelAndFileNameAreCheckedApart)
{
    // The name, base name and extension; whether the label and the file name are warned about.
    // clang-format off
    const std::tuple<std::string, std::string, std::string, bool, bool> rows[] = {
        {"Text File", "untitled", "txt", false, false}, {"", "untitled", "", true, false},
        {" \t\u00a0\u2003", "untitled", "md", true, false}, {"\n", "untitled", "md", false, false},
        {"Notes", ".", "txt", false, true}, {"Notes", "..", "", false, true}, {"", "", "", true, true},
        {"Notes", "a/b", "txt", false, true}, {"Notes", "untitled", "t:xt", false, true}};
    // clang-format on
    for (const auto& [name, baseName, ext, label, fileName] : rows) {
        const FileTemplate t{Uuid::random(), name, baseName, ext, ""};
        EXPECT_EQ(labelWarning(t).has_value(), label) << name;
        EXPECT_EQ(fileNameWarning(t).has_value(), fileName) << baseName << ext;
    }
}

TEST(ShortcutRecording, KeyPressesBecomeStoredShortcutsByKeyPosition)
{
    using Outcome = RecordedKey::Outcome;
    const auto ctrl = Qt::ControlModifier;
    const auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    const auto ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const std::optional<char32_t> unknown; // no keymap to ask
    // X key code, keysym, Qt key, modifiers, the layout's unshifted character; then the
    // stored key code, mask and label, and what the key code means to the X11 grab.
    // clang-format off
    for (const auto& [press, keyCode, mask, label, grabKeysym] :
         std::vector<std::tuple<KeyPress, std::uint32_t, std::uint32_t, std::string, std::uint32_t>>{
             {{57, 'n', Qt::Key_N, ctrlAlt, U'n'}, 45, 0x1800, "Ctrl+Alt+N", 'n'},
             {{0, 0, Qt::Key_N, ctrlAlt, unknown}, 45, 0x1800, "Ctrl+Alt+N", 'n'},
             {{57, 'N', Qt::Key_N, ctrlAlt | Qt::ShiftModifier, U'n'}, 45, 0x1a00, "Ctrl+Alt+Shift+N", 'n'},
             // Shift with a digit or punctuation: the key, not the character Shift gives.
             {{10, '!', Qt::Key_Exclam, ctrlShift, U'1'}, 18, 0x1200, "Ctrl+Shift+1", '1'},
             {{47, ':', Qt::Key_Colon, ctrlShift, unknown}, 41, 0x1200, "Ctrl+Shift+;", ';'},
             {{0, ';', Qt::Key_Semicolon, ctrl, unknown}, 41, 0x1000, "Ctrl+;", ';'},
             // AZERTY: the key at the US "Q" types "a"; the one at "2" types "é" unshifted.
             {{24, 'a', Qt::Key_A, ctrlAlt, U'a'}, 12, 0x1800, "Ctrl+Alt+A", 'q'},
             {{11, '2', Qt::Key_2, ctrlShift, U'\u00e9'}, 19, 0x1200, "Ctrl+Shift+\u00c9", '2'},
             {{34, 0xfe52, Qt::Key_Dead_Circumflex, ctrl, U'\0'}, 33, 0x1000, "Ctrl+?", '['},
             {{65, ' ', Qt::Key_Space, Qt::MetaModifier | Qt::ShiftModifier, U' '}, 49, 0x300, "Shift+Super+Space", ' '},
             {{191, 0xffca, Qt::Key_F13, Qt::MetaModifier, U'\0'}, 105, 0x100, "Super+F13", 0xffca},
             {{87, 0xff9c, Qt::Key_End, ctrlAlt, U'\0'}, 83, 0x1800, "Ctrl+Alt+Num 1", 0xffb1},
             {{112, 0xff55, Qt::Key_PageUp, Qt::AltModifier, U'\0'}, 116, 0x800, "Alt+Page Up", 0xff55},
         }) {
        // clang-format on
        const RecordedKey key = recordKeyPress(press);
        EXPECT_EQ(std::tie(key.outcome, key.keyCode, key.modifiers, key.label),
                  std::tuple(Outcome::accept, keyCode, mask, label));
        EXPECT_EQ(keyForCode(key.keyCode)->keysym, grabKeysym) << label;
    }
    // clang-format off
    for (const auto& [press, outcome] : std::vector<std::pair<KeyPress, Outcome>>{
             {{57, 'n', Qt::Key_N, Qt::NoModifier, U'n'}, Outcome::reject},
             {{10, '!', Qt::Key_Exclam, Qt::ShiftModifier, U'1'}, Outcome::reject},
             {{0, 0x20ac, Qt::Key_unknown, ctrl, unknown}, Outcome::reject},
             {{9, 0xff1b, Qt::Key_Escape, ctrlAlt, U'\x1b'}, Outcome::cancel},
             {{0, 0, Qt::Key_Escape, Qt::NoModifier, unknown}, Outcome::cancel},
             {{37, 0xffe3, Qt::Key_Control, ctrl, U'\0'}, Outcome::modifierOnly}}) {
        // clang-format on
        EXPECT_EQ(recordKeyPress(press).outcome, outcome) << press.qtKey;
    }
    EXPECT_EQ(spokenShortcut("Shift+Super+Page Up"), "Shift Super Page Up");
    EXPECT_EQ(spokenShortcut("Ctrl++"), "Control +");
}

TEST(ShortcutRecording, TheKeyTableCoversAStandardKeyboardOnce)
{
    std::set<std::uint32_t> codes, positions;
    for (const ShortcutKey& key : shortcutKeys()) {
        EXPECT_TRUE(codes.insert(key.keyCode).second) << key.keyCode;
        EXPECT_TRUE(positions.insert(key.xKeyCode).second) << key.name;
        EXPECT_FALSE(key.name.empty()) << key.keyCode;
    }
    EXPECT_EQ(gtkAccelerator(kControlModifier | kShiftModifier, 42), "<Control><Shift>backslash");
    EXPECT_EQ(gtkAccelerator(kSuperModifier, 83), "<Super>KP_1");

    // Modifier words as GNOME writes them in German, from the build's catalogue.
    tr("Ctrl");
    ::bindtextdomain(kTextDomain, TESSARY_TEST_LOCALEDIR);
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C.UTF-8");
    ::setenv("LANGUAGE", "de", 1);
    ++_nl_msg_cat_cntr; // gettext reads LANGUAGE afresh
    const std::string german = shortcutLabel(kControlModifier | kShiftModifier | kAltModifier, 45);
    const std::string spoken = spokenShortcut(german);
    ::unsetenv("LANGUAGE");
    ++_nl_msg_cat_cntr;
    std::setlocale(LC_ALL, locale.c_str());
    EXPECT_EQ(german, "Strg+Alt+Umschalt+N");
    EXPECT_EQ(spoken, "Steuerung Alt Umschalt N");
}

TEST(SetupTexts, StepsNotesAndTheAllSetLine)
{
    // The extension's state; whether its step is done and offers a restart of Files.
    for (const auto& [state, done, restart] :
         std::vector<std::tuple<FileManagerExtensionState, bool, bool>>{
             {{true, false, false}, true, false},
             {{true, true, true}, true, false},
             {{true, true, false}, false, true},
             {{false, false, false}, false, false},
             {{false, true, false}, false, false},
         }) {
        const ExtensionStep step = extensionStep(state, "/usr/lib/nautilus/extensions-4");
        EXPECT_EQ(std::tie(step.done, step.offersRestart), std::tie(done, restart)) << step.detail;
        EXPECT_EQ(step.detail.find("/usr/lib/nautilus/extensions-4") != std::string::npos,
                  !state.installed);
    }
    // Over several file managers: one where it works is enough, unless another runs without
    // the module it has installed.
    const FileManagerExtensionState works{true, true, true}, absent{}, stale{true, true, false};
    EXPECT_TRUE(isExtensionStepDone({absent, works}));
    EXPECT_FALSE(isExtensionStepDone({works, stale}));
    EXPECT_FALSE(isExtensionStepDone({absent, absent}));
    EXPECT_EQ(grantNote("/"), std::nullopt);
    EXPECT_EQ(grantNote("/home/ada"), "Only folders inside /home/ada will work. Grant access to "
                                      "the root folder itself to cover everything.");

    SharedSettings settings;
    settings.templates = {named("Note"), named("Page"), named("List")};
    settings.shortcutLabel = "Ctrl+Alt+N";
    EXPECT_EQ(allSetText(settings),
              "All set. Right-click any folder in Files and choose New Note, or press Ctrl+Alt+N.");
    settings.defaultTemplateID = settings.templates[1].id;
    settings.shortcutEnabled = false;
    EXPECT_EQ(allSetText(settings),
              "All set. Right-click any folder in Files and choose New Page.");
}

TEST(StatusRows, OnlyARowThatARestartOfFilesFixesOffersIt)
{
    using Case = FrontFolderQuery::Permission::Case;
    const auto restart = StatusRow::Action::restartFileManager;
    for (const Case shown :
         {Case::granted, Case::notDetermined, Case::fileManagerNotRunning, Case::unknown}) {
        EXPECT_EQ(fileManagerStatusRow({shown, -1}).action == restart,
                  shown == Case::notDetermined);
    }
    for (const RenameRoute route :
         {RenameRoute::fileManagerBridge, RenameRoute::x11KeyPress, RenameRoute::none}) {
        EXPECT_EQ(renameStatusRow(route).action == restart, route == RenameRoute::none);
    }
    EXPECT_EQ(fileManagerStatusRow({Case::unknown, -1}).text,
              "Can’t tell whether Files is running (status -1)");
}

} // namespace
} // namespace tessary
