// The module loader and the fake file info for the tests that run the Nautilus module.
#include "nautilus_test_host.h"

#include <gio/gio.h>
#include <gmodule.h>

namespace tessary::test {

namespace fs = std::filesystem;

namespace {

struct TestModule {
    GTypeModule parent;
    GModule* library;
};

struct TestModuleClass {
    GTypeModuleClass parent;
};

fs::path g_modulePath;
void (*g_listTypes)(const GType**, int*) = nullptr;

gboolean loadModule(GTypeModule* module)
{
    auto* self = reinterpret_cast<TestModule*>(module);
    self->library =
        g_module_open(g_modulePath.c_str(), GModuleFlags(G_MODULE_BIND_LAZY | G_MODULE_BIND_LOCAL));
    gpointer initialize = nullptr;
    gpointer listTypes = nullptr;
    if (self->library == nullptr ||
        !g_module_symbol(self->library, "nautilus_module_initialize", &initialize) ||
        !g_module_symbol(self->library, "nautilus_module_list_types", &listTypes)) {
        return FALSE;
    }
    reinterpret_cast<void (*)(GTypeModule*)>(initialize)(module);
    g_listTypes = reinterpret_cast<void (*)(const GType**, int*)>(listTypes);
    return TRUE;
}

void unloadModule(GTypeModule*)
{
}

GType testModuleType()
{
    static const GType type = [] {
        static const GTypeInfo info = {
            sizeof(TestModuleClass),
            nullptr,
            nullptr,
            [](gpointer klass, gpointer) {
                auto* moduleClass = static_cast<GTypeModuleClass*>(klass);
                moduleClass->load = loadModule;
                moduleClass->unload = unloadModule;
            },
            nullptr,
            nullptr,
            sizeof(TestModule),
            0,
            nullptr,
            nullptr,
        };
        return g_type_register_static(G_TYPE_TYPE_MODULE, "TessaryTestModule", &info,
                                      GTypeFlags(0));
    }();
    return type;
}

struct FakeFileInfo {
    GObject parent;
    gchar* uri;
};

struct FakeFileInfoClass {
    GObjectClass parent;
};

GType fakeFileInfoType()
{
    static const GType type = [] {
        static const GTypeInfo info = {
            sizeof(FakeFileInfoClass),
            nullptr,
            nullptr,
            [](gpointer klass, gpointer) {
                static_cast<GObjectClass*>(klass)->finalize = [](GObject* object) {
                    g_free(reinterpret_cast<FakeFileInfo*>(object)->uri);
                    G_OBJECT_CLASS(g_type_class_peek(G_TYPE_OBJECT))->finalize(object);
                };
            },
            nullptr,
            nullptr,
            sizeof(FakeFileInfo),
            0,
            nullptr,
            nullptr,
        };
        const GType registered =
            g_type_register_static(G_TYPE_OBJECT, "TessaryFakeFileInfo", &info, GTypeFlags(0));
        static const GInterfaceInfo fileInfo = {
            [](gpointer iface, gpointer) {
                static_cast<NautilusFileInfoInterface*>(iface)->get_uri =
                    [](NautilusFileInfo* file) {
                        return g_strdup(reinterpret_cast<FakeFileInfo*>(file)->uri);
                    };
            },
            nullptr,
            nullptr,
        };
        g_type_add_interface_static(registered, NAUTILUS_TYPE_FILE_INFO, &fileInfo);
        return registered;
    }();
    return type;
}

} // namespace

GType loadNautilusModule(const fs::path& path)
{
    g_modulePath = path;
    GTypeModule* module = G_TYPE_MODULE(g_object_new(testModuleType(), nullptr));
    if (!g_type_module_use(module) || g_listTypes == nullptr) {
        return 0;
    }
    const GType* types = nullptr;
    int count = 0;
    g_listTypes(&types, &count);
    return count == 1 ? types[0] : 0;
}

NautilusFileInfo* fileInfo(const std::string& uri)
{
    auto* file = static_cast<FakeFileInfo*>(g_object_new(fakeFileInfoType(), nullptr));
    file->uri = g_strdup(uri.c_str());
    return reinterpret_cast<NautilusFileInfo*>(file);
}

std::string fileUri(const fs::path& path)
{
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string text = uri;
    g_free(uri);
    return text;
}

} // namespace tessary::test
