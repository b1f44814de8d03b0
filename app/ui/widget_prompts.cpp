// QMessageBox and QFileDialog behind UserPrompts.
#include "ui/widget_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <cstdint>
#include <utility>
#include <vector>

#include <canberra.h>
#include <dlfcn.h>

namespace tessary {
namespace {

// A dialog that is not brought forward still opens; the desktop decides whether it gets the
// focus (GNOME asks for attention rather than stealing it).
void show(QWidget& dialog, bool bringForward)
{
    if (bringForward) {
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    // Modal from the start: exec() does not make a dialog that is already shown modal.
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    if (bringForward) {
        dialog.raise();
        dialog.activateWindow();
    }
}

} // namespace

std::size_t WidgetPrompts::runAlert(const AlertRequest& alert)
{
    QMessageBox box;
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(QStringLiteral("Tessary"));
    // Texts carry file names and what a release feed says: never read them as markup, where a
    // link would open without asking.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(alert.messageText));
    // The informative label guesses its format and has no setting of its own: hand it the
    // text escaped as markup, so that nothing in it is taken for a tag.
    box.setInformativeText(QStringLiteral("<p>%1</p>")
                               .arg(QString::fromStdString(alert.informativeText)
                                        .toHtmlEscaped()
                                        .replace(QLatin1Char('\n'), QStringLiteral("<br>"))));
    std::vector<QPushButton*> buttons;
    for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
        const auto role =
            i == alert.cancelButton && i != 0 ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        buttons.push_back(box.addButton(QString::fromStdString(alert.buttons[i]), role));
    }
    if (!buttons.empty()) {
        box.setDefaultButton(buttons.front());
        box.setEscapeButton(buttons[alert.cancelButton]);
    }
    show(box, alert.bringForward);
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) {
            return i;
        }
    }
    return alert.cancelButton;
}

void WidgetPrompts::beep()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QApplication::beep();
        return;
    }
    // The sound library and what it loads are opened at the first beep, not at every start.
    using Create = int (*)(ca_context**);
    using Play = int (*)(ca_context*, std::uint32_t, ...);
    static const auto play = [] {
        void* library = ::dlopen("libcanberra.so.0", RTLD_LAZY | RTLD_LOCAL);
        auto* create = library != nullptr
                           ? reinterpret_cast<Create>(::dlsym(library, "ca_context_create"))
                           : nullptr;
        auto* playFunction = library != nullptr
                                 ? reinterpret_cast<Play>(::dlsym(library, "ca_context_play"))
                                 : nullptr;
        ca_context* context = nullptr;
        const bool ready =
            create != nullptr && playFunction != nullptr && create(&context) == CA_SUCCESS;
        return std::pair(ready ? context : nullptr, playFunction);
    }();
    if (play.first != nullptr) {
        play.second(play.first, 0, CA_PROP_EVENT_ID, "bell-window-system",
                    CA_PROP_EVENT_DESCRIPTION, "Tessary", nullptr);
    }
}

std::optional<std::filesystem::path> WidgetPrompts::chooseFolder(const FolderPanelRequest& panel)
{
    QFileDialog dialog(nullptr, QString::fromStdString(panel.message),
                       QString::fromStdString(panel.startIn.string()));
    dialog.setFileMode(QFileDialog::Directory);
    // The desktop's own chooser where the platform theme or the portal offers one.
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(panel.prompt));
    show(dialog, panel.bringForward);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

} // namespace tessary
