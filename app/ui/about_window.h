// The About window: the application icon, name, version, a tagline, the website links and a
// footnote. The icon and the "|" between links are drawn, not widgets, so screen readers
// skip them.
#pragma once

#include <QWidget>

#include <functional>
#include <string>

namespace tessary {

class AboutWindow : public QWidget {
public:
    // `openURL` opens a link in the default browser.
    explicit AboutWindow(std::function<void(const std::string&)> openURL,
                         QWidget* parent = nullptr);

    // Shows the window and brings it forward; it is centred only the first time.
    void present();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<void(const std::string&)> m_openURL;
    bool m_placed = false;
};

} // namespace tessary
