// Extension table, type fallback and memo cache behind symbolName().
#include "shared/template_symbols.h"

#include <array>
#include <mutex>
#include <string>
#include <unordered_map>

#include <gio/gio.h>

namespace tessary {
namespace {

constexpr std::string_view kDefaultSymbol = "doc";

constexpr std::array<SymbolGroup, 50> kSymbolGroups = {{
    {"doc.text", "txt text asc nfo"},
    {"doc.richtext",
     "md markdown mdown mkd mdx rst adoc asciidoc org textile rtf rtfd doc docx docm "
     "dotx odt ott pages wpd wps"},
    {"doc.text.image", "pdf xps djvu"},
    {"book", "epub mobi azw azw3 ibooks fb2 cbz cbr cb7 cbt"},
    {"text.book.closed", "ipynb rmd qmd"},
    {"function", "tex latex ltx sty cls bib bst"},
    {"list.bullet.rectangle", "log out plist strings stringsdict xcstrings po pot xliff xlf"},
    {"note.text", "note notes todo taskpaper"},
    {"captions.bubble", "srt vtt sub ass ssa sbv"},
    {"plusminus", "diff patch"},
    {"tablecells", "csv tsv psv xls xlsx xlsm xlsb xlt xltx ods ots numbers parquet arrow feather"},
    {"rectangle.on.rectangle.angled", "ppt pptx pptm potx pps ppsx odp otp key keynote"},
    {"curlybraces", "json jsonc json5 jsonl ndjson geojson topojson har webmanifest babelrc "
                    "eslintrc prettierrc"},
    {"slider.horizontal.3",
     "yaml yml toml ini cfg conf config properties prefs editorconfig xcconfig npmrc "
     "nvmrc tool-versions desktop service"},
    {"key", "env pem crt cer der p12 pfx p8 pub gpg pgp sig keychain jks keystore csr"},
    {"lock", "lock lockb"},
    {"cylinder", "sql psql mysql prisma cql cypher"},
    {"cylinder.split.1x2", "db sqlite sqlite3 db3 mdb accdb realm dbf duckdb"},
    {"point.3.connected.trianglepath.dotted",
     "graphql gql proto thrift avsc dot gv mmd mermaid puml plantuml drawio"},
    {"network", "http rest curl pac hosts nginx htaccess"},
    {"arrow.triangle.branch",
     "gitignore gitattributes gitmodules gitkeep gitconfig hgignore dockerignore "
     "npmignore"},
    {"shippingbox", "dockerfile containerfile compose nix podspec gemspec nuspec cabal pkg deb rpm "
                    "apk msi appimage snap flatpak whl egg jar war gem crate vsix xpi"},
    {"hammer", "make mk mak cmake ninja gradle bazel bzl build sbt xcodeproj xcworkspace "
               "pbxproj sln csproj vcxproj fsproj"},
    {"globe", "html htm xhtml shtml mhtml webarchive url webloc ejs hbs handlebars mustache "
              "njk liquid twig erb haml pug jade jinja j2"},
    {"paintbrush", "css scss sass less styl stylus pcss postcss"},
    {"chevron.left.forwardslash.chevron.right",
     "js mjs cjs jsx ts mts cts tsx vue svelte astro py pyw pyi rb go rs java kt kts "
     "scala sc groovy c h cc cpp cxx hpp hh hxx m mm cs fs fsx vb php phtml pl pm "
     "lua r jl dart zig nim v odin hx ex exs erl hrl hs lhs elm ml mli re res clj "
     "cljs cljc edn lisp lsp el scm rkt f f90 f95 for pas pp d cr gleam sol vy move "
     "cairo wat wasm asm s nasm glsl vert frag hlsl metal wgsl cu xml xsd xsl xslt "
     "svgz wsdl rss atom opml xib storyboard nib tf tfvars hcl bicep"},
    {"swift", "swift swiftinterface"},
    {"terminal", "sh bash zsh fish ksh csh tcsh command tool ps1 psm1 bat cmd nu awk sed expect "
                 "zshrc bashrc profile"},
    {"applescript", "applescript scpt scptd jxa"},
    {"gearshape.2", "app exe bin elf dylib so dll o a lib framework bundle kext plugin appex xpc"},
    {"photo", "png jpg jpeg jpe jfif gif heic heif webp avif tif tiff bmp raw cr2 cr3 nef arw "
              "dng orf rw2 raf jxl exr hdr tga pbm pgm ppm dds qoi"},
    {"scribble.variable", "svg eps ai emf wmf cdr"},
    {"paintpalette", "psd psb sketch fig xd afdesign afphoto afpub pxd pxm kra xcf procreate clip "
                     "ase aco"},
    {"app.dashed", "ico icns icon cur ani"},
    {"waveform", "mp3 wav wave aif aiff aifc m4a aac flac alac ogg oga opus wma caf amr ape wv "
                 "dsf mka m4b m4r"},
    {"music.note.list", "m3u m3u8 pls xspf cue"},
    {"pianokeys", "mid midi kar mscz mscx musicxml mxl sib gp logicx band als flp ptx rpp"},
    {"film", "mp4 m4v mov qt mkv avi webm wmv flv f4v mpg mpeg m2v m2ts 3gp 3g2 ogv vob mxf "
             "braw r3d prproj fcpxml fcpbundle aep veg kdenlive imovielibrary"},
    {"cube", "obj stl fbx blend gltf glb usd usda usdc usdz dae 3ds max ma mb c4d ply step "
             "stp iges igs skp scn reality rcproject 3mf f3d sldprt dwg dxf"},
    {"doc.zipper", "zip zipx tar gz tgz bz2 tbz tbz2 xz txz lz lzma lz4 zst tzst 7z rar cab arj "
                   "sit sitx cpio xar z br"},
    {"externaldrive", "dmg iso img sparseimage sparsebundle vhd vhdx vmdk qcow2 toast udif"},
    {"textformat", "ttf otf ttc otc woff woff2 eot pfb pfm afm fnt bdf dfont glyphs ufo fontx"},
    {"person.crop.rectangle", "vcf vcard abbu ldif"},
    {"envelope", "eml emlx msg mbox mbx oft"},
    {"calendar", "ics ical icalendar ifb vcs"},
    {"map", "gpx kml kmz osm shp gpkg mbtiles fit tcx"},
    {"link", "lnk alias inetloc fileloc symlink"},
    {"gamecontroller", "rom nes sfc smc gba gbc gb n64 z64 nds cia xci nsp pak unitypackage uasset "
                       "umap godot tscn tres"},
    {"brain", "gguf safetensors onnx pt pth ckpt mlmodel mlpackage mlmodelc tflite pb h5 "
              "keras pkl pickle npy npz"},
    {"chart.xyaxis.line", "sav dta sas7bdat mat rdata rds nc hdf5 fits"},
}};

// Kinds of file in the order they are tested: the more specific kind before the general
// ones it belongs to (a shell script is also source code and text; video before audio).
// Each kind lists the MIME types that stand for it, sub-types included; "type/*" stands for
// a whole media type and "=type" for that type alone. The exact forms keep the shared MIME
// database's broader family trees out (JSON descends from JavaScript there, SVG from XML,
// OpenDocument from ZIP), so each kind means what it means on other desktops.
struct KindSymbol {
    std::string_view symbol;
    std::string_view contentTypes;
};

constexpr std::array<KindSymbol, 34> kKindSymbols = {{
    {"swift", "text/x-swift"},
    {"terminal", "application/x-shellscript application/x-csh text/x-dcl"},
    {"applescript", "application/x-applescript"},
    {"chevron.left.forwardslash.chevron.right",
     "text/x-csrc text/x-chdr text/x-c++src text/x-c++hdr text/x-objcsrc text/x-objc++src "
     "text/x-java text/x-python text/x-python3 text/rust text/x-go text/x-csharp text/x-dsrc "
     "text/x-kotlin text/x-scala text/x-groovy text/x-dart text/x-vala text/x-genie "
     "text/x-pascal text/x-fortran text/x-adasrc text/x-cobol text/x-haskell "
     "text/x-literate-haskell text/x-ocaml text/x-erlang text/x-elixir text/x-common-lisp "
     "text/x-emacs-lisp text/x-scheme text/x-lua text/x-matlab text/x-crystal text/x-eiffel "
     "text/x-modelica text/x-verilog text/x-vhdl text/x-svsrc text/x-svhdr text/x-idl "
     "text/x-qml text/x-opencl-src text/x-sagemath =application/javascript application/sql"},
    {"chevron.left.forwardslash.chevron.right",
     "application/x-perl application/x-ruby application/x-php text/tcl text/vbscript "
     "text/vnd.wap.wmlscript"},
    {"curlybraces", "application/json"},
    {"list.bullet.rectangle", "application/x-plist application/x-apple-systemprofiler+xml"},
    {"chevron.left.forwardslash.chevron.right", "=application/xml =text/xml"},
    {"globe", "text/html application/xhtml+xml"},
    {"doc.text.image", "application/pdf"},
    {"doc.richtext", "application/rtf text/rtf"},
    {"tablecells", "application/vnd.oasis.opendocument.spreadsheet application/vnd.ms-excel "
                   "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet "
                   "application/vnd.oasis.opendocument.spreadsheet-template text/spreadsheet "
                   "application/x-applix-spreadsheet"},
    {"rectangle.on.rectangle.angled",
     "application/vnd.oasis.opendocument.presentation application/vnd.ms-powerpoint "
     "application/vnd.openxmlformats-officedocument.presentationml.presentation "
     "application/vnd.oasis.opendocument.presentation-template"},
    {"scribble.variable", "image/svg+xml"},
    {"app.dashed", "image/x-icns"},
    {"photo", "image/*"},
    {"film", "video/*"},
    {"waveform", "audio/*"},
    {"cube", "model/*"},
    {"doc.zipper",
     "=application/zip application/x-tar application/gzip application/x-bzip "
     "application/x-xz application/x-7z-compressed application/vnd.rar application/x-archive "
     "application/x-compressed-tar application/x-cpio application/zstd application/x-lzip "
     "application/x-lzma application/x-lz4 application/vnd.ms-cab-compressed"},
    {"externaldrive",
     "application/x-cd-image application/x-raw-disk-image application/x-apple-diskimage"},
    {"textformat", "font/* application/x-font-type1 application/x-font-bdf "
                   "application/x-font-pcf application/x-font-afm"},
    {"cylinder.split.1x2", "application/vnd.sqlite3 application/x-sqlite2"},
    {"calendar", "text/calendar"},
    {"person.crop.rectangle", "text/vcard"},
    {"envelope", "message/rfc822 application/mbox"},
    {"key", "application/x-x509-ca-cert application/pkix-cert"},
    {"key", "application/x-pkcs12"},
    {"gearshape.2", "application/x-executable application/x-sharedlib application/x-object "
                    "application/x-msdownload"},
    {"gearshape.2", "application/x-desktop"},
    {"list.bullet.rectangle", "text/x-log"},
    {"tablecells", "text/csv text/tab-separated-values"},
    {"doc.text", "text/plain"},
    {"doc.richtext", "application/vnd.oasis.opendocument.text application/msword "
                     "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
}};

// Calls `each` with every space-separated word of `list` until it returns true.
template <typename Each> bool anyWord(std::string_view list, Each&& each)
{
    while (!list.empty()) {
        const std::size_t end = list.find(' ');
        if (each(list.substr(0, end))) {
            return true;
        }
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    }
    return false;
}

bool conformsTo(const char* contentType, std::string_view kind)
{
    if (kind.starts_with('=')) {
        return kind.substr(1) == contentType;
    }
    if (kind.ends_with("/*")) {
        return std::string_view(contentType).starts_with(kind.substr(0, kind.size() - 1));
    }
    return g_content_type_is_a(contentType, std::string(kind).c_str()) != FALSE;
}

const std::unordered_map<std::string_view, std::string_view>& extensionTable()
{
    static const auto table = [] {
        std::unordered_map<std::string_view, std::string_view> map;
        map.reserve(1024);
        for (const SymbolGroup& group : kSymbolGroups) {
            anyWord(group.extensions, [&](std::string_view ext) {
                map.emplace(ext, group.symbol);
                return false;
            });
        }
        return map;
    }();
    return table;
}

// Lower-cases `ext` and trims "." and " " from both ends. Short ASCII extensions, the usual
// case, are cleaned into `small` without touching the heap; others go through `large`.
std::string_view clean(std::string_view ext, std::array<char, 32>& small, std::string& large)
{
    const std::size_t first = ext.find_first_not_of(". ");
    if (first == std::string_view::npos) {
        return {};
    }
    ext = ext.substr(first, ext.find_last_not_of(". ") - first + 1);
    if (ext.size() <= small.size()) {
        std::size_t i = 0;
        for (; i < ext.size(); ++i) {
            const auto c = static_cast<unsigned char>(ext[i]);
            if (c >= 0x80) {
                break;
            }
            small[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        if (i == ext.size()) {
            return {small.data(), ext.size()};
        }
    }
    if (g_utf8_validate(ext.data(), static_cast<gssize>(ext.size()), nullptr)) {
        gchar* lower = g_utf8_strdown(ext.data(), static_cast<gssize>(ext.size()));
        large = lower;
        g_free(lower);
    } else {
        large.assign(ext);
    }
    return large;
}

// Lets the memo be searched with a string_view, without making a string first.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept
    {
        return std::hash<std::string_view>{}(text);
    }
};

std::string_view fallbackSymbol(std::string_view ext)
{
    // Unusable names cannot be a real file's extension; do not ask the database.
    if (ext.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        return kDefaultSymbol;
    }
    const std::string fileName = "x." + std::string(ext);
    gchar* type = g_content_type_guess(fileName.c_str(), nullptr, 0, nullptr);
    std::string_view symbol = kDefaultSymbol;
    // The unknown type is the database's made-up answer for an extension it does not know.
    // (Where two types claim an extension the guess is flagged uncertain but still useful.)
    if (type != nullptr && !g_content_type_is_unknown(type)) {
        symbol = symbolForContentType(type);
    }
    g_free(type);
    return symbol;
}

} // namespace

std::span<const SymbolGroup> extensionSymbolGroups()
{
    return kSymbolGroups;
}

std::string_view symbolForContentType(std::string_view contentType)
{
    const std::string type(contentType);
    for (const KindSymbol& kind : kKindSymbols) {
        if (anyWord(kind.contentTypes,
                    [&](std::string_view member) { return conformsTo(type.c_str(), member); })) {
            return kind.symbol;
        }
    }
    return kDefaultSymbol;
}

std::string_view symbolName(std::string_view ext)
{
    std::array<char, 32> small;
    std::string large;
    const std::string_view key = clean(ext, small, large);
    if (key.empty()) {
        return kDefaultSymbol;
    }
    const auto& table = extensionTable();
    if (const auto hit = table.find(key); hit != table.end()) {
        return hit->second;
    }
    // The lock covers lookup, fallback and store, so each extension is resolved once.
    static std::mutex mutex;
    static std::unordered_map<std::string, std::string_view, TextHash, std::equal_to<>> memo;
    std::lock_guard lock(mutex);
    if (const auto hit = memo.find(key); hit != memo.end()) {
        return hit->second;
    }
    const std::string_view symbol = fallbackSymbol(key);
    memo.emplace(key, symbol);
    return symbol;
}

} // namespace tessary
