// tessary-model: prints the stored settings as the extension and the host read them, and
// round-trips a create request for a folder through the signed URL.
//
//   tessary-model [FOLDER [TEMPLATE-INDEX]]
#include "shared/create_request.h"
#include "shared/shared_settings.h"
#include "shared/template_symbols.h"

#include <charconv>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include <nlohmann/json.hpp>

namespace {

int run(int argc, char** argv)
{
    using namespace tessary;
    if (argc > 3 || (argc > 1 && std::string_view(argv[1]).starts_with("-"))) {
        std::fprintf(stderr, "usage: tessary-model [FOLDER [TEMPLATE-INDEX]]\n");
        return 2;
    }
    std::error_code error;
    const std::string folder =
        argc > 1 ? std::filesystem::absolute(argv[1], error).lexically_normal().string()
                 : std::filesystem::current_path(error).string();
    std::int64_t index = 0;
    if (argc > 2) {
        const std::string_view text = argv[2];
        const auto result = std::from_chars(text.data(), text.data() + text.size(), index);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size() || index < 0) {
            std::fprintf(stderr, "tessary-model: not a template index: %s\n", argv[2]);
            return 2;
        }
    }

    const DefaultsStore store = DefaultsStore::appGroup();
    const SharedSettings settings = SharedSettings::load(store);
    nlohmann::json templates = nlohmann::json::array();
    for (const FileTemplate& fileTemplate : settings.templates) {
        templates.push_back({{"name", fileTemplate.name},
                             {"fileName", fileTemplate.fileName()},
                             {"symbol", symbolName(fileTemplate.fileExtension)},
                             {"usable", isUsableNameComponent(fileTemplate.baseName) &&
                                            (fileTemplate.fileExtension.empty() ||
                                             isUsableNameComponent(fileTemplate.fileExtension))}});
    }
    const auto defaultIndex = settings.defaultTemplateIndex();

    const auto key = requestKey(store);
    const CreateRequest request{folder, index};
    const auto now = CreateRequest::Clock::now();
    const auto url = key ? request.signedURL(*key, now) : std::nullopt;
    const auto verified = url ? CreateRequest::verifying(*url, *key, now) : std::nullopt;

    const nlohmann::json report = {
        {"store", store.folder().string()},
        {"templates", templates},
        {"defaultTemplateIndex", defaultIndex ? nlohmann::json(*defaultIndex) : nullptr},
        {"hasDiskAccess", settings.hasDiskAccess()},
        {"request", url ? nlohmann::json(*url) : nullptr},
        {"verified", verified && *verified == request},
    };
    std::printf("%s\n",
                report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return verified && *verified == request ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tessary-model: %s\n", error.what());
        return 1;
    }
}
