#include "audio_io/ui/transport_icons.h"

// The icons are compiled into this static library: the resource needs registering by name.
static void registerTransportIcons() {
  Q_INIT_RESOURCE(transport_icons);
}

namespace quillon::audio_io::ui {

QIcon transportIcon(TransportIcon icon) {
  struct Names {
    const char* theme;
    const char* ours;
  };
  static constexpr Names kNames[] = {
      {"media-skip-backward", ":/icons/transport-start.svg"},
      {"media-playback-start", ":/icons/transport-play.svg"},
      {"media-playback-stop", ":/icons/transport-stop.svg"},
      {"media-skip-forward", ":/icons/transport-end.svg"},
      {"media-playlist-repeat", ":/icons/transport-loop.svg"},
      {"media-playback-pause", ":/icons/transport-pause.svg"},
      {"media-seek-backward", ":/icons/transport-rewind.svg"},
      {"media-seek-forward", ":/icons/transport-forward.svg"},
      {"media-record", ":/icons/transport-record.svg"},
  };
  static const bool registered = (registerTransportIcons(), true);
  (void)registered;
  const Names& names = kNames[static_cast<int>(icon)];
  return QIcon::fromTheme(QString::fromLatin1(names.theme), QIcon(QString::fromLatin1(names.ours)));
}

}  // namespace quillon::audio_io::ui
