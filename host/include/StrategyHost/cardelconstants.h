#ifndef CARDELCONSTANTS_H
#define CARDELCONSTANTS_H

// Keys of the client's user settings (ZCore::settings).
namespace CardelConstants {
namespace SettingFieldName {
namespace SarvekSetting {
inline constexpr char SarvekStragyAutoStart[] = "Sarvek/StrategyAutoStart";
} // namespace SarvekSetting
} // namespace SettingFieldName
} // namespace CardelConstants

#endif // CARDELCONSTANTS_H
