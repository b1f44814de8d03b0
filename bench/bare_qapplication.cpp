// The yardstick for the host's cold start: a QApplication that starts, runs its event loop
// once and quits.
#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QTimer::singleShot(0, &application, &QApplication::quit);
    return application.exec();
}
