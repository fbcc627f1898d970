#pragma once

namespace walkmere {

// The icon a message box carries.
enum class MessageIcon { None, Stop, Exclamation, Information, Question };

} // namespace walkmere
