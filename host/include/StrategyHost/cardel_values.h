#ifndef CARDEL_VALUES_H
#define CARDEL_VALUES_H

// Fund-account type codes of the client's account source, and the names
// the client shows for them.
namespace Cardel_Values {

namespace FundAccountType {
inline constexpr char Cash[] = "1";
inline constexpr char Credit[] = "2";
inline constexpr char CreditSpecial[] = "3";
inline constexpr char Future[] = "4";
inline constexpr char Option[] = "5";
inline constexpr char Metal[] = "6";
inline constexpr char CFETS[] = "7";
} // namespace FundAccountType

namespace FundAccountTypeName {
inline constexpr char Cash[] = "普通账户";
inline constexpr char Credit[] = "信用账户";
inline constexpr char CreditSpecial[] = "信用专项账户";
inline constexpr char Future[] = "期货账户";
inline constexpr char Option[] = "期权账户";
inline constexpr char Metal[] = "黄金账户";
inline constexpr char CFETS[] = "银行间账户";
inline constexpr char UNKNOWN[] = "未知账户";
} // namespace FundAccountTypeName

} // namespace Cardel_Values

#endif // CARDEL_VALUES_H
