// Puts a freshly created, selected file into the file manager's rename mode by pressing its
// rename key for the user, shortly after creation and only while the file manager is in
// front.
#pragma once

#include "key_events.h"
#include "workspace.h"

#include <QObject>

namespace tessary {

class RenameImmediately {
public:
    // How long the file manager gets to show and select the new file first.
    static constexpr int kDelayMilliseconds = 400;

    RenameImmediately(Workspace& workspace, KeyEvents& keys);

    // Checks the permission now and schedules the key press on the event loop; returns at
    // once. Each call schedules its own press.
    void renameCreatedFile();
    // Sends the rename key (F2 for the file manager used here) if the file manager is the
    // frontmost application.
    void pressReturnInFinder();

private:
    Workspace& m_workspace;
    KeyEvents& m_keys;
    QObject m_timers; // owns the pending presses: they go away with this object
};

} // namespace tessary
