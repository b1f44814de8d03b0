// The bridge: a small D-Bus object that Tessary's module exports on its file manager's own
// bus connection, answering what no outside program can learn on Wayland: which window has
// the focus and what it shows, and acting inside that window. One definition for every file
// manager's module and for the host that calls them.
#pragma once

namespace tessary {

inline constexpr const char* kBridgePath = "/com/orvane/tessary/Bridge";
inline constexpr const char* kBridgeInterface = "com.orvane.tessary.Bridge";

// ActiveWindow: the window that had the focus last; `active` whether it has it now,
// `windowPath` the file manager's own name for it (empty when it has no window), `title` its
// title, `location` the URI its active view shows (empty when the module cannot tell).
// Rename: starts renaming `uri` inline when it is exactly the focused window's selection;
// whether it did. Reveal: selects `uri` in an open window that shows its folder (where the
// file manager lets no module select, brings that window forward), opening none; whether
// such a window was there (false: the caller opens a window itself).
inline constexpr const char* kBridgeXml = R"(<node>
  <interface name="com.orvane.tessary.Bridge">
    <method name="ActiveWindow">
      <arg direction="out" type="b" name="active"/>
      <arg direction="out" type="s" name="windowPath"/>
      <arg direction="out" type="s" name="title"/>
      <arg direction="out" type="s" name="location"/>
    </method>
    <method name="Rename">
      <arg direction="in" type="s" name="uri"/>
      <arg direction="out" type="b" name="started"/>
    </method>
    <method name="Reveal">
      <arg direction="in" type="s" name="uri"/>
      <arg direction="out" type="b" name="shown"/>
    </method>
  </interface>
</node>)";

} // namespace tessary
