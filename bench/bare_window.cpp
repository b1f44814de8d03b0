// The yardstick for the settings window's first paint: a bare Qt Widgets window with a list
// and a form, shown at once.
#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Window"));
    window.setMinimumSize(760, 520);
    auto* list = new QListWidget(&window);
    list->addItems(
        {QStringLiteral("Templates"), QStringLiteral("General"), QStringLiteral("Setup")});
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Menu label"), new QLineEdit(&window));
    form->addRow(QStringLiteral("File name"), new QLineEdit(&window));
    form->addRow(QStringLiteral("Extension"), new QLineEdit(&window));
    auto* layout = new QHBoxLayout(&window);
    layout->addWidget(list);
    layout->addLayout(form, 1);
    window.show();
    return application.exec();
}
