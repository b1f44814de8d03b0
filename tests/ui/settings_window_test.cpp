// The settings window driven as a user would, on Qt's offscreen platform with the real
// settings files: templates added, edited, dragged, removed; a shortcut recorded; the
// windows' rules. What lands in the settings file is what the file manager's menu shows.
#include "ui/about_window.h"
#include "ui/form_parts.h"
#include "console_prompts.h"
#include "platform/linux/gnome_keybinding.h"
#include "lifecycle/host_services.h"
#include "platform/linux/nautilus_extension.h"
#include "ui/host_windows.h"
#include "ui/shortcut_recorder.h"
#include "ui/templates_page.h"

#include "test_support.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace tessary {
namespace {

namespace fs = std::filesystem;

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

QLineEdit* field(QWidget* parent, const QString& placeholder)
{
    for (QLineEdit* edit : parent->findChildren<QLineEdit*>()) {
        if (edit->placeholderText() == placeholder) {
            return edit;
        }
    }
    return nullptr;
}

void retype(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Presses `button` in the next message box that opens.
void answerNextMessageBox(const QString& button)
{
    QTimer::singleShot(0, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text() == button) {
                candidate->click();
            }
        }
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
        extension.emplace(scratchFolder() / "modules", "libtessary-nautilus.so");
        const SettingsServices pages{services.diskAccess,  services.loginItem, *extension,
                                     services.fileManager, services.hotKey,    services.frontFolder,
                                     services.rename,      services.updates,   {}};
        windows.emplace(pages, delegate, services.workspace);
    }
    void TearDown() override
    {
        windows.reset();
        ConfigFolderTest::TearDown();
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

    // The General page on its own, and the texts of the warnings it shows.
    SettingsWindow* generalPage()
    {
        windows->showSettings();
        windows->settingsWindow()->showPage(SettingsPage::general);
        return windows->settingsWindow();
    }
    std::vector<QString> shownErrors()
    {
        std::vector<QString> texts;
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
    std::optional<NautilusExtension> extension;
    HostLifecycle delegate{services.requests, services.queue, LaunchReason::user};
    std::optional<HostWindows> windows;
};

TEST_F(SettingsWindowTest, TemplatesAreAddedEditedDraggedAndRemoved)
{
    windows->showSettings();
    SettingsWindow* window = windows->settingsWindow();
    window->showPage(SettingsPage::templates);
    auto* page = ours<TemplatesPage>(window).front();
    auto* view = page->findChild<QListView*>();

    child<QToolButton>(page, "Add Template")->click();
    retype(field(page, "Text File"), "Notes");
    retype(field(page, "txt"), "org");
    auto* contents = page->findChild<QPlainTextEdit*>();
    QTest::keyClicks(contents, "TODO");
    QTest::keyClick(contents, Qt::Key_Return);
    retype(field(page, "untitled"), "todo");
    EXPECT_EQ(view->model()->index(3, 0).data().toString(), "Notes");

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

    // Remove "Text File", now second, after confirming.
    view->setCurrentIndex(view->model()->index(1, 0));
    answerNextMessageBox("Remove");
    child<QToolButton>(page, "Remove Template")->click();
    EXPECT_EQ(menuTitles(), (std::vector<std::string>{"New Notes", "Tessary", "Notes",
                                                      "Markdown File", "Empty File"}));
    EXPECT_EQ(view->currentIndex().row(), 1) << "the next template took its place";
}

TEST_F(SettingsWindowTest, AShortcutIsRecordedFromTheNextKeyPressAnywhere)
{
    SettingsStore store;
    int changes = 0;
    ShortcutRecorder recorder(store, [&] { ++changes; });
    QWidget elsewhere;
    recorder.show();
    elsewhere.show();
    auto* box = ours<ValueLabel>(&recorder).front();

    child<QPushButton>(&recorder, "Record Shortcut")->click();
    EXPECT_EQ(box->accessibleValue(), "Press keys");
    EXPECT_EQ(box->accessibleDescription(), "Press the new shortcut, or Escape to cancel.");
    QTest::keyClick(&elsewhere, Qt::Key_K); // no Ctrl, Alt or Super: keeps recording
    QTest::keyClick(&elsewhere, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(SharedSettings::load().shortcutLabel, SharedSettings().shortcutLabel);

    child<QPushButton>(&recorder, "Record Shortcut")->click();
    QTest::keyClick(&elsewhere, Qt::Key_K);
    EXPECT_TRUE(recorder.isRecording());
    QTest::keyClick(&elsewhere, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);

    const SharedSettings saved = SharedSettings::load();
    EXPECT_EQ(saved.shortcutKeyCode, 40u);
    EXPECT_EQ(saved.shortcutModifiers, 0x1800u);
    EXPECT_EQ(saved.shortcutLabel, "Ctrl+Alt+K");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(box->text(), "Ctrl+Alt+K");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Value),
              "Control Alt K");
}

TEST_F(SettingsWindowTest, TheShortcutSectionShowsWhatRegisteringDid)
{
    // GNOME on Wayland without the shortcuts portal: a keybinding, in a private settings
    // file where the window manager already binds Ctrl+Alt+N, the default shortcut.
    ::setenv("XDG_SESSION_TYPE", "wayland", 1);
    ::setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
    if (!GnomeKeybinding::available()) {
        GTEST_SKIP() << "GNOME's media-keys schema is not installed";
    }
    ASSERT_EQ(test::runProgram("gsettings", {"set", "org.gnome.desktop.wm.keybindings",
                                             "switch-to-workspace-1", "['<Control><Alt>n']"}),
              0);
    SettingsWindow* window = generalPage();
    EXPECT_EQ(shownErrors(), std::vector<QString>{"Ctrl+Alt+N is already used by another app. "
                                                  "Choose a different shortcut."});
    EXPECT_FALSE(services.hotKey.isRegistered());

    auto* recorder = ours<ShortcutRecorder>(window).front();
    child<QPushButton>(recorder, "Record Shortcut")->click();
    QTest::keyClick(window, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(shownErrors().empty());
    EXPECT_EQ(customKeybindings(), "['" + std::string(GnomeKeybinding::kEntryPath) + "']\n");

    child<QCheckBox>(window, "Create the default file with a shortcut")->click();
    EXPECT_FALSE(recorder->isVisible());
    EXPECT_FALSE(SharedSettings::load().shortcutEnabled);
    EXPECT_EQ(customKeybindings(), "@as []\n");
}

TEST_F(SettingsWindowTest, CheckNowWaitsForItsCheckAndAClosedPageIsLeftOutOfIt)
{
    const test::LogCapture log; // where the alert of a failed check goes
    const auto pump = [] {
        QApplication::processEvents();
    };
    auto* checkNow = child<QPushButton>(generalPage(), "Check Now");
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
    int windowsOpen = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        windowsOpen += dynamic_cast<SettingsWindow*>(widget) != nullptr && widget->isVisible();
    }
    EXPECT_EQ(windowsOpen, 1);

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
