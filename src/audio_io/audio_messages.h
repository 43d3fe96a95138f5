#pragma once

namespace quillon::messages {

// The texts the sound engines give the user, exactly as shown.
inline constexpr char kSoundDeviceErrorCaption[] = "Sound Device Error";
inline constexpr char kSoundDeviceError[] =
    "There was an unknown problem when starting the sound device.";
inline constexpr char kDefaultSoundOut[] = "[Default Sound Out]";
inline constexpr char kDefaultSoundIn[] = "[Default Sound In]";
inline constexpr char kUnknownDevice[] = "(Unknown Device)";

}  // namespace quillon::messages
