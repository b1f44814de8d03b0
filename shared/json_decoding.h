// Internal to tessary_shared: the strict JSON reading shared by the template and settings
// decoders, on top of simdjson's DOM parser (validating, UTF-8 checked, fast enough to
// reload the settings for every menu).
#pragma once

#include "shared/file_template.h"

#include <simdjson.h>

#include <string_view>

namespace tessary::decoding {

// Parses a whole document with the calling thread's parser; the element stays valid until
// the thread parses again. Throws DecodingError when the text is not JSON.
simdjson::dom::element parse(std::string_view text);

// The five-key template object; throws DecodingError.
FileTemplate decodeTemplate(simdjson::dom::element element);

} // namespace tessary::decoding
