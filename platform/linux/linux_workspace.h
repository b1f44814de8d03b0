// Workspace on the Linux desktop: the file manager through its D-Bus interface
// org.freedesktop.FileManager1 on the session bus, default applications through GIO, and
// the front application through X11.
#pragma once

#include "platform/workspace.h"
#include "platform/linux/x11_display.h"

#include <chrono>
#include <memory>

typedef struct _GCancellable GCancellable;
typedef struct _GDBusConnection GDBusConnection;

namespace tessary {

// Whether the environment names a display server (X11 or Wayland) to show windows on.
bool hasGraphicalSession();

class LinuxWorkspace : public Workspace {
public:
    LinuxWorkspace();
    ~LinuxWorkspace() override;

    // ShowItems([file URI], "") on the session bus, sent without waiting for the answer; if
    // the call fails the folder is opened with the default file manager instead. A file
    // manager whose ShowItems opens a new window every time is asked through its bridge
    // (Reveal) first, also without waiting.
    void revealAndSelect(const std::filesystem::path& file,
                         const std::string& fileManager) override;
    void openWithDefaultApp(const std::filesystem::path& file) override;
    void openURL(const std::string& url) override;
    std::optional<FrontApplication> frontmostApplication() override;

    // Connects to the session bus and loads the MIME and application databases ahead of
    // the first request, so it does not pay for them.
    void warmUp();
    // Runs the default main context until the file manager has answered every call sent,
    // at most `timeout`: a short-lived process calls this before it exits.
    void settle(std::chrono::milliseconds timeout);

private:
    GDBusConnection* bus();

    GCancellable* m_cancellable; // cancels the calls still out when the workspace goes
    GDBusConnection* m_bus = nullptr;
    int m_pending = 0; // calls not answered yet
    std::unique_ptr<X11Display> m_display;
    bool m_triedDisplay = false;
    bool m_reportedNoBus = false;
};

} // namespace tessary
