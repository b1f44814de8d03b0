// Tessary's module in Nautilus: installed in Nautilus's extension folder, loaded by the
// running Nautilus (its process, found through the bus, maps the file), and restarting
// Nautilus so that it loads the module.
#pragma once

#include "file_manager_extension.h"

#include <string>

typedef struct _GDBusConnection GDBusConnection;

namespace tessary {

class NautilusExtension : public FileManagerExtension {
public:
    // The folder Nautilus reads modules from and the module's file name; by default those
    // the build was configured with.
    explicit NautilusExtension(std::filesystem::path folder = {}, std::string moduleName = {});
    ~NautilusExtension() override;
    NautilusExtension(const NautilusExtension&) = delete;
    NautilusExtension& operator=(const NautilusExtension&) = delete;

    FileManagerExtensionState state() override;
    std::filesystem::path moduleFolder() const override { return m_folder; }
    void restartFileManager() override;

private:
    GDBusConnection* bus();

    std::filesystem::path m_folder;
    std::string m_moduleName;
    GDBusConnection* m_bus = nullptr;
};

} // namespace tessary
