// Tessary's module in Nautilus: installed in Nautilus's extension folder, and loaded by the
// running Nautilus (its process, found through the bus, maps the file).
#pragma once

#include "platform/file_manager_extension.h"
#include "platform/linux/session_bus.h"

#include <string>

namespace tessary {

class NautilusExtension : public FileManagerExtension {
public:
    // The folder Nautilus reads modules from and the module's file name; by default those
    // the build was configured with.
    explicit NautilusExtension(std::filesystem::path folder = {}, std::string moduleName = {});

    FileManagerExtensionState state() override;
    std::filesystem::path moduleFolder() const override { return m_folder; }

private:
    std::filesystem::path m_folder;
    std::string m_moduleName;
    SessionBus m_bus;
};

} // namespace tessary
