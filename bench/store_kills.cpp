// Kills a writer of the defaults store in the middle of its writes, again and again, then
// checks that every stored value is whole and that the next write leaves no temporary file
// behind. Run: build/release/bench/store_kills [KILLS]   (default 600)
#include "shared/create_request.h"
#include "shared/shared_settings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace tessary;

// Writes without end: settings documents of changing size, and a new request key each time.
[[noreturn]] void writeForever(const DefaultsStore& store)
{
    SharedSettings settings;
    for (std::size_t round = 0;; ++round) {
        settings.templates.resize(1 + round % 40, settings.templates.front());
        static_cast<void>(settings.save(store));
        static_cast<void>(store.remove(kRequestKeyKey));
        static_cast<void>(requestKey(store));
    }
}

int temporaries(const std::filesystem::path& folder)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename();
        count += name.starts_with(".settings.") || name.starts_with(".requestKey.") ? 1 : 0;
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    const int kills = argc > 1 ? std::atoi(argv[1]) : 600;
    char pattern[] = "/tmp/tessary-kills-XXXXXX";
    const std::filesystem::path root = ::mkdtemp(pattern);
    ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    ::setenv("TESSARY_LOG", "stderr", 1);
    const DefaultsStore store = DefaultsStore::appGroup();
    static_cast<void>(SharedSettings().save(store));
    std::mt19937 random(42);
    std::uniform_int_distribution<int> delay(200, 5000);
    int corrupt = 0;
    for (int i = 0; i < kills; ++i) {
        const pid_t writer = ::fork();
        if (writer == 0) {
            writeForever(store);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        const auto document = store.data(kSettingsKey);
        const auto key = store.data(kRequestKeyKey);
        try {
            SharedSettings::decode(std::string_view(reinterpret_cast<const char*>(document->data()),
                                                    document->size()));
        } catch (const std::exception&) {
            ++corrupt;
        }
        corrupt += key && key->size() != 32 ? 1 : 0;
    }
    const int before = temporaries(store.folder());
    static_cast<void>(SharedSettings().save(store));
    const int after = temporaries(store.folder());
    std::printf("kills %d, corrupt values %d, temporary files left %d, after the next write %d\n",
                kills, corrupt, before, after);
    std::filesystem::remove_all(root);
    return corrupt == 0 && after == 0 ? 0 : 1;
}
