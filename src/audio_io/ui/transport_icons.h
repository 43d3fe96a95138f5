#pragma once

#include <QIcon>

namespace quillon::audio_io::ui {

enum class TransportIcon { Start, Play, Stop, End, Loop, Pause, Rewind, Forward, Record };

// The desktop theme's icon for the action when it has one, else our own drawing from
// data/icons/transport-*.svg.
QIcon transportIcon(TransportIcon icon);

}  // namespace quillon::audio_io::ui
