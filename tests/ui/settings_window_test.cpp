// The settings window driven as a user would, on Qt's offscreen platform with the real
// settings files: templates added, edited, dragged, removed; a shortcut recorded; the
// windows' rules. What lands in the settings file is what the file manager's menu shows.
#include "ui/about_window.h"
#include "ui/form_parts.h"
#include "console_prompts.h"
#include "platform/linux/gnome_keybinding.h"
#include "lifecycle/host_services.h"
#include "platform/linux/known_file_managers.h"
#include "ui/host_windows.h"
#include "ui/shortcut_recorder.h"
#include "ui/templates_page.h"
#include "ui/desktop_style.h"
#include "ui/widget_prompts.h"

#include "test_support.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QMenu>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <nlohmann/json.hpp>

namespace tessary {
namespace {

// Our widgets have no meta-objects of their own, so they are told apart by their C++ type.
template <typename T> std::vector<T*> ours(QWidget* parent)
{
    std::vector<T*> found;
    for (QWidget* widget : parent->findChildren<QWidget*>()) {
        if (auto* wanted = dynamic_cast<T*>(widget)) {
            found.push_back(wanted);
        }
    }
    return found;
}

template <typename T> T* child(QWidget* parent, const QString& name)
{
    for (T* widget : parent->findChildren<T*>()) {
        if (widget->accessibleName() == name || widget->text() == name) {
            return widget;
        }
    }
    ADD_FAILURE() << "no " << name.toStdString();
    return nullptr;
}

// Types `text` over the field that shows `placeholder` while empty.
void retype(QWidget* parent, const QString& placeholder, const QString& text)
{
    for (QLineEdit* edit : parent->findChildren<QLineEdit*>()) {
        if (edit->placeholderText() == placeholder) {
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, text);
        }
    }
}

// Runs `answer` on the next modal window of type T, once it runs its own event loop.
template <typename T> void answerNext(std::function<void(T*)> answer)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            answer(window);
        }
    });
    poll->start(10);
}

// Presses `button` in the next message box that opens.
void answerNextMessageBox(const QString& button)
{
    answerNext<QMessageBox>(
        [button](QMessageBox* box) { child<QAbstractButton>(box, button)->click(); });
}

// Triggers the entry `text` of the next menu that pops up.
void chooseInNextMenu(const QString& text)
{
    QTimer::singleShot(0, [text] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                action->trigger();
            }
        }
        menu->close();
    });
}

class SettingsWindowTest : public test::ConfigFolderTest {
protected:
    void SetUp() override
    {
        ConfigFolderTest::SetUp();
        fs::create_directories(scratchFolder() / "modules");
        std::ofstream(scratchFolder() / "modules" / "libtessary-nautilus.so") << "module";
        services.diskAccess.saveGrant("/");
        fileManagers.emplace(std::vector<std::string_view>{"nautilus"},
                             scratchFolder() / "modules");
        openWindows(services);
    }
    void openWindows(HostServices& host)
    {
        windows.reset();
        const SettingsServices pages{host.diskAccess,  host.loginItem, *fileManagers, host.hotKey,
                                     host.frontFolder, host.rename,    host.updates,  {}};
        windows.emplace(pages, delegate, host.workspace);
    }
    void TearDown() override
    {
        windows.reset();
        ConfigFolderTest::TearDown();
    }

    SettingsWindow* page(SettingsPage shown)
    {
        windows->showSettings();
        windows->settingsWindow()->showPage(shown);
        return windows->settingsWindow();
    }
    TemplatesPage* templatesPage()
    {
        return ours<TemplatesPage>(page(SettingsPage::templates)).front();
    }

    std::vector<std::string> menuTitles()
    {
        const fs::path out = scratchFolder() / "menu.json";
        EXPECT_EQ(
            test::runProgram(TESSARY_MENU_TOOL, {"--kind", "container", "--target", "/tmp"}, out),
            0);
        const std::string text = test::readFile(out); // the log's lines come first
        const nlohmann::json menu = nlohmann::json::parse(text.substr(text.find('{')));
        std::vector<std::string> titles;
        for (const auto& item : menu["items"]) {
            titles.push_back(item["title"]);
            for (const auto& sub : item.value("submenu", nlohmann::json::array())) {
                titles.push_back(sub["title"]);
            }
        }
        return titles;
    }

    // The texts of the warnings the window shows.
    QStringList shownErrors()
    {
        QStringList texts;
        for (ErrorLabel* label : ours<ErrorLabel>(windows->settingsWindow())) {
            if (label->isVisible()) {
                texts.push_back(label->text());
            }
        }
        return texts;
    }
    // GNOME's list of custom keybindings, as the gsettings program reads it.
    std::string customKeybindings()
    {
        const fs::path out = scratchFolder() / "gsettings.txt";
        test::runProgram(
            "gsettings",
            {"get", "org.gnome.settings-daemon.plugins.media-keys", "custom-keybindings"}, out);
        return test::readFile(out);
    }

    ConsolePrompts prompts;
    HostServices services{prompts};
    std::optional<KnownFileManagers> fileManagers;
    HostLifecycle delegate{services.requests, services.queue, LaunchReason::user};
    std::optional<HostWindows> windows;
};

TEST_F(SettingsWindowTest, TemplatesAreAddedEditedDraggedMovedDeletedAndRecommended)
{
    TemplatesPage* templates = templatesPage();
    auto* view = templates->findChild<QListView*>();

    child<QToolButton>(templates, "Add Template")->click();
    retype(templates, "Text File", "Notes");
    retype(templates, "txt", "org");
    auto* contents = templates->findChild<QPlainTextEdit*>();
    QTest::keyClicks(contents, "TODO");
    QTest::keyClick(contents, Qt::Key_Return);
    retype(templates, "untitled", "todo");

    // Drag "Notes" above the first row.
    const QModelIndex notes = view->model()->index(3, 0);
    std::unique_ptr<QMimeData> data(view->model()->mimeData({notes}));
    const QPoint top = view->visualRect(view->model()->index(0, 0)).topLeft() + QPoint(4, 2);
    QDragEnterEvent enter(top, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDragMoveEvent move(top, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QDropEvent drop(top, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    QApplication::processEvents();

    const SharedSettings saved = SharedSettings::load();
    ASSERT_EQ(saved.templates.size(), 4u);
    EXPECT_EQ(saved.templates[0].fileName(), "todo.org");
    EXPECT_EQ(saved.templates[0].contents, "TODO\n");

    chooseInNextMenu("Move Down");
    view->customContextMenuRequested(view->visualRect(view->model()->index(0, 0)).center());
    chooseInNextMenu("Move Up");
    view->customContextMenuRequested(view->visualRect(view->model()->index(2, 0)).center());
    using Titles = std::vector<std::string>;
    EXPECT_EQ(menuTitles(), (Titles{"New Text File", "Tessary", "Text File", "Markdown File",
                                    "Notes", "Empty File"}));

    view->setCurrentIndex(view->model()->index(1, 0));
    answerNextMessageBox("Remove");
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(menuTitles(),
              (Titles{"New Text File", "Tessary", "Text File", "Notes", "Empty File"}));
    EXPECT_EQ(view->currentIndex().row(), 1) << "the next template took its place";

    QMenu* recommended = child<QToolButton>(templates, "Add Recommended")->menu();
    recommended->aboutToShow();
    QAction* added = nullptr;
    QStringList dimmed;
    for (QAction* action : recommended->actions()) {
        EXPECT_EQ(action->text().endsWith(" (added)"), !action->isEnabled());
        dimmed += action->isEnabled() ? QString() : action->text();
        added = added == nullptr && action->isEnabled() ? action : added;
    }
    EXPECT_TRUE(dimmed.contains("Text File (added)"));
    ASSERT_NE(added, nullptr);
    added->trigger();
    EXPECT_EQ(menuTitles().back(), added->text().toStdString());
}

TEST_F(SettingsWindowTest, ContentsStayAsStoredUntilEditedAndTakeTabs)
{
    const std::string crlf = "line one\r\nline two\u00a0end\r\n";
    const std::string mixed = "a\rb\u2028c\u2029d \u00a0";
    SharedSettings stored = SharedSettings::load();
    stored.templates[0].contents = crlf;
    stored.templates[1].contents = mixed;
    ASSERT_FALSE(stored.save());
    const auto contents = [](std::size_t index) {
        return SharedSettings::load().templates[index].contents;
    };
    TemplatesPage* templates = templatesPage();
    auto* view = templates->findChild<QListView*>();
    view->setCurrentIndex(view->model()->index(1, 0));
    view->setCurrentIndex(view->model()->index(0, 0));
    windows->settingsWindow()->reload(); // as when the application becomes active
    EXPECT_EQ(contents(0), crlf);
    EXPECT_EQ(contents(1), mixed);

    // Typing keeps every byte it did not touch; a new line ends as the others do.
    auto* box = templates->findChild<QPlainTextEdit*>();
    box->setFocus();
    box->moveCursor(QTextCursor::End);
    QTest::keyClick(box, Qt::Key_Tab);
    QTest::keyClicks(box, "x");
    QTest::keyClick(box, Qt::Key_Return);
    box->moveCursor(QTextCursor::Start);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(contents(0), "ine one\r\nline two\u00a0end\r\n\tx\r\n");
    view->setCurrentIndex(view->model()->index(1, 0));
    box->moveCursor(QTextCursor::End);
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(contents(1), "a\rb\u2028c\u2029d\u00a0");

    box->setFocus();
    QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_NE(box->window()->focusWidget(), box);
}

TEST_F(SettingsWindowTest, GeneralChoicesLandInTheDocumentASaveErrorShowsAndCheckNowOutlivesThePage)
{
    SettingsWindow* window = page(SettingsPage::general);
    auto* defaultTemplate = window->findChild<QComboBox*>();
    EXPECT_EQ(defaultTemplate->currentText().toStdString(), menuTitles().front().substr(4));
    defaultTemplate->activated(1);
    auto* openIt = child<QCheckBox>(window, "Open it in its default app");
    openIt->click();
    child<QCheckBox>(window, "Start renaming it right away")->click();
    child<QCheckBox>(window, "Open at login")->click();
    const SharedSettings saved = SharedSettings::load();
    EXPECT_EQ(saved.defaultTemplateID, saved.templates[1].id);
    EXPECT_NE(saved.openAfterCreate, SharedSettings().openAfterCreate);
    EXPECT_NE(saved.renameImmediately, SharedSettings().renameImmediately);
    EXPECT_TRUE(fs::exists(configHome() / "autostart" / "com.orvane.tessary.desktop"));
    EXPECT_EQ(menuTitles().front(), "New Markdown File");

    // Where the settings folder should be, a file: the change cannot be saved.
    fs::rename(configHome() / "tessary", scratchFolder() / "tessary");
    std::ofstream(configHome() / "tessary") << "";
    openIt->click();
    const QString saveError = "Your change couldn't be saved: Not a directory";
    EXPECT_TRUE(shownErrors().contains(saveError)) << shownErrors().join('\n').toStdString();
    EXPECT_EQ(openIt->isChecked(), SharedSettings().openAfterCreate) << "the change still shows";
    fs::remove(configHome() / "tessary");
    fs::rename(scratchFolder() / "tessary", configHome() / "tessary");
    openIt->click();
    EXPECT_FALSE(shownErrors().contains(saveError));

    // Check Now waits for its check, and a check that outlives the closed page is left alone.
    const test::LogCapture log; // where the alert of a failed check goes
    const auto pump = [] {
        QApplication::processEvents();
    };
    auto* checkNow = child<QPushButton>(window, "Check Now");
    checkNow->click(); // against a closed local port
    EXPECT_FALSE(checkNow->isEnabled());
    ASSERT_TRUE(test::waitUntil([&] { return checkNow->isEnabled(); }, test::kDeadline, pump));
    const std::size_t firstAnswer = log.text().find("Couldn't check for updates");
    ASSERT_NE(firstAnswer, std::string::npos);

    checkNow->click();
    windows->settingsWindow()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(windows->settingsWindow(), nullptr);
    EXPECT_TRUE(test::waitUntil(
        [&] {
            return log.text().find("Couldn't check for updates", firstAnswer + 1) !=
                   std::string::npos;
        },
        test::kDeadline, pump));
}

TEST_F(SettingsWindowTest, SetupStepsTickAndAccessIsForgottenAndGrantedThroughTheChooser)
{
    WidgetPrompts chooser;
    HostServices host{chooser};
    openWindows(host);
    SettingsWindow* window = page(SettingsPage::setup);
    const auto steps = [window] {
        QStringList values;
        for (ValueLabel* title : ours<ValueLabel>(window)) {
            values += title->accessibleValue();
        }
        return values.filter(QRegularExpression("^(Done|Not done)$"));
    };
    EXPECT_EQ(steps(), (QStringList{"Done", "Done"}));
    answerNextMessageBox("Forget Access");
    child<QPushButton>(window, "Forget Access…")->click();
    EXPECT_FALSE(SharedSettings::load().hasDiskAccess());
    EXPECT_EQ(steps(), (QStringList{"Done", "Not done"}));

    answerNext<QFileDialog>([this](QFileDialog* dialog) {
        dialog->selectFile(QString::fromStdString(scratchFolder().string()));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    child<QPushButton>(window, "Grant Access…")->click();
    EXPECT_EQ(SharedSettings::load().rootPath, scratchFolder().string());
    EXPECT_EQ(steps(), (QStringList{"Done", "Done"}));
    EXPECT_TRUE(shownErrors().value(0).startsWith("Only folders inside ")) << "the grant note";
    windows.reset(); // before the services it uses
}

TEST(DesktopStyle, AdwaitaOnGnomeDarkWhenPreferredFollowingAChangeElseQtsChoice)
{
    const std::vector<std::string> adwaita{"Windows", "Fusion", "Adwaita", "Adwaita-Dark"};
    // The desktop, its colour scheme, the styles Qt has; the style chosen.
    // clang-format off
    const std::tuple<std::string, std::string, std::vector<std::string>, std::string> rows[] = {
        {"GNOME", "default", adwaita, "Adwaita"}, {"ubuntu:GNOME", "prefer-dark", adwaita, "Adwaita-Dark"},
        {"GNOME-Classic:gnome", "prefer-light", adwaita, "Adwaita"}, {"GNOME", "", {"adwaita"}, "Adwaita"},
        {"GNOME", "prefer-dark", {"Windows", "Fusion"}, ""}, {"KDE", "prefer-dark", adwaita, ""},
        {"", "", adwaita, ""}};
    // clang-format on
    for (const auto& [desktop, scheme, styles, style] : rows) {
        EXPECT_EQ(styleForDesktop(desktop, scheme, styles), style) << desktop << " " << scheme;
    }

    // The rule at work, on GNOME with a private settings file.
    const test::TemporaryFolder config;
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
    ::setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    if (!QStyleFactory::keys().contains("Adwaita", Qt::CaseInsensitive)) {
        GTEST_SKIP() << "adwaita-qt6 is not installed";
    }
    const DesktopStyle style;
    EXPECT_EQ(QApplication::style()->name().toLower(), "adwaita");
    test::runProgram("gsettings",
                     {"set", "org.gnome.desktop.interface", "color-scheme", "prefer-dark"});
    EXPECT_TRUE(
        test::waitUntil([] { return QApplication::style()->name().toLower() == "adwaita-dark"; },
                        test::kDeadline, [] { QApplication::processEvents(); }));
}

// GNOME on Wayland without the shortcuts portal: a keybinding, in a private settings file
// where the window manager already binds Ctrl+Alt+N, the default shortcut. The recorder takes
// the next key press, in whichever window.
TEST_F(SettingsWindowTest, TheShortcutIsRecordedFromAnyWindowAndItsSectionShowsWhatRegisteringDid)
{
    ::setenv("XDG_SESSION_TYPE", "wayland", 1);
    ::setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
    if (!GnomeKeybinding::available()) {
        GTEST_SKIP() << "GNOME's media-keys schema is not installed";
    }
    ASSERT_EQ(test::runProgram("gsettings", {"set", "org.gnome.desktop.wm.keybindings",
                                             "switch-to-workspace-1", "['<Control><Alt>n']"}),
              0);
    SettingsWindow* window = page(SettingsPage::general);
    EXPECT_EQ(shownErrors(), QStringList{"Ctrl+Alt+N is already used by another app. "
                                         "Choose a different shortcut."});
    EXPECT_FALSE(services.hotKey.isRegistered());

    auto* recorder = ours<ShortcutRecorder>(window).front();
    auto* box = ours<ValueLabel>(recorder).front();
    QWidget elsewhere;
    elsewhere.show();
    child<QPushButton>(recorder, "Record Shortcut")->click();
    EXPECT_EQ(box->accessibleValue(), "Press keys");
    QTest::keyClick(&elsewhere, Qt::Key_K); // no Ctrl, Alt or Super: keeps recording
    EXPECT_TRUE(recorder->isRecording());
    QTest::keyClick(&elsewhere, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(SharedSettings::load().shortcutLabel, SharedSettings().shortcutLabel);

    child<QPushButton>(recorder, "Record Shortcut")->click();
    QTest::keyClick(&elsewhere, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(SharedSettings::load().shortcutKeyCode, 40u);
    EXPECT_EQ(box->text(), "Ctrl+Alt+K");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Value),
              "Control Alt K");
    EXPECT_TRUE(shownErrors().empty());
    EXPECT_EQ(customKeybindings(), "['" + std::string(GnomeKeybinding::kEntryPath) + "']\n");

    // Shift with a digit, as X11 delivers it: the key's place, not the "!" it typed.
    child<QPushButton>(recorder, "Record Shortcut")->click();
    QKeyEvent exclam(QEvent::KeyPress, Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier, 10,
                     '!', 0);
    QApplication::sendEvent(&elsewhere, &exclam);
    EXPECT_EQ(SharedSettings::load().shortcutKeyCode, 18u);
    EXPECT_EQ(box->text(), "Ctrl+Shift+1");

    child<QCheckBox>(window, "Create the default file with a shortcut")->click();
    EXPECT_FALSE(recorder->isVisible());
    EXPECT_FALSE(SharedSettings::load().shortcutEnabled);
    EXPECT_EQ(customKeybindings(), "@as []\n");
}

TEST_F(SettingsWindowTest, OneWindowEachAndTheApplicationShowsOnlyWhileOneIsOpen)
{
    DefaultsStore::standard().setString("settingsPane", "templates");
    windows->showSettings();
    windows->showSettings();
    SettingsWindow* window = windows->settingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->page(), SettingsPage::templates);
    // The arrow keys step over the "Settings" group header.
    auto* sidebar = window->findChild<QListWidget*>();
    QTest::keyClick(sidebar, Qt::Key_Down);
    EXPECT_EQ(window->page(), SettingsPage::general);
    QTest::keyClick(sidebar, Qt::Key_Up);
    EXPECT_EQ(window->page(), SettingsPage::templates);
    windows->showAbout();
    AboutWindow* about = windows->aboutWindow();
    about->move(about->pos() + QPoint(30, 0));
    const QPoint moved = about->pos();
    windows->showAbout();
    EXPECT_EQ(windows->aboutWindow(), about);
    EXPECT_EQ(about->pos(), moved) << "shown again where the user left it";

    // Screen readers meet the texts and links, not the icon or the separators.
    std::vector<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(about)};
    while (!pending.empty()) {
        QAccessibleInterface* node = pending.back();
        pending.pop_back();
        EXPECT_NE(node->text(QAccessible::Name), "|");
        EXPECT_NE(node->role(), QAccessible::Graphic);
        for (int i = 0; i < node->childCount(); ++i) {
            pending.push_back(node->child(i));
        }
    }

    ASSERT_TRUE(
        test::waitUntil([&] { return delegate.activationPolicy() == ActivationPolicy::regular; },
                        test::kDeadline, [] { QApplication::processEvents(); }));
    window->close();
    QApplication::processEvents();
    EXPECT_EQ(delegate.activationPolicy(), ActivationPolicy::regular) << "About is still open";
    about->close();
    QApplication::processEvents();
    EXPECT_EQ(delegate.activationPolicy(), ActivationPolicy::accessory);
    EXPECT_EQ(windows->settingsWindow(), nullptr) << "closing lets the window go";
}

} // namespace
} // namespace tessary

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // also when CTest lists the tests
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
