#ifndef TAVRIX_VALUES_H
#define TAVRIX_VALUES_H

// Code values shared by the client's modules.
namespace Tavrix_Values {

// Security types as CBusinessDataBase::GetSecurityTypeBySymbol answers them.
namespace MdcSecurityType {
inline constexpr char StockType[] = "stock";
inline constexpr char FundType[] = "fund";
inline constexpr char BondType[] = "bond";
inline constexpr char FuturesType[] = "futures";
inline constexpr char OptionType[] = "option";
} // namespace MdcSecurityType

// Covered flag of an option position or order.
namespace OptionCoveredFlag {
inline constexpr char UnCovered[] = "0";
inline constexpr char Covered[] = "1";
} // namespace OptionCoveredFlag

} // namespace Tavrix_Values

#endif // TAVRIX_VALUES_H
