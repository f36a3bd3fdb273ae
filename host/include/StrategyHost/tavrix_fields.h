#ifndef TAVRIX_FIELDS_H
#define TAVRIX_FIELDS_H

// Field names shared by the client's modules: keys of login details,
// order and fill rows, and the strategy server's instance records.
// The plug-in only uses them as map keys and compares them with each other.
namespace Tavrix_Fields {

namespace UserAccount {
inline constexpr char userID[] = "userID";
inline constexpr char loginAccount[] = "loginAccount";
inline constexpr char investType[] = "investType";
inline constexpr char tradingAccount[] = "tradingAccount";
inline constexpr char entrustProp[] = "entrustProp";
} // namespace UserAccount

namespace Security {
inline constexpr char orderID[] = "orderID";
inline constexpr char symbol[] = "symbol";
inline constexpr char algoOrderID[] = "algoOrderID";
inline constexpr char orderQty[] = "orderQty";
inline constexpr char leaveQty[] = "leaveQty";
inline constexpr char cumQty[] = "cumQty";
inline constexpr char side[] = "side";
inline constexpr char orderStatus[] = "orderStatus";
inline constexpr char orderType[] = "orderType";
inline constexpr char price[] = "price";
inline constexpr char avgPx[] = "avgPx";
inline constexpr char exchangeMatchDate[] = "exchangeMatchDate";
inline constexpr char execID[] = "execID";
inline constexpr char lastQty[] = "lastQty";
inline constexpr char lastPx[] = "lastPx";
inline constexpr char positionEffect[] = "positionEffect";
} // namespace Security

namespace System {
inline constexpr char createTime[] = "createTime";
inline constexpr char textDescription[] = "textDescription";
} // namespace System

namespace CustomField {
inline constexpr char priceType[] = "priceType";
inline constexpr char ExecutionID[] = "ExecutionID";
} // namespace CustomField

namespace Strategy {
inline constexpr char strategyID[] = "strategyID";
inline constexpr char strategyName[] = "strategyName";
inline constexpr char strategyInstanceName[] = "strategyInstanceName";
inline constexpr char strategyInstanceValidBeginTime[] = "strategyInstanceValidBeginTime";
inline constexpr char strategyBasicParam[] = "strategyBasicParam";
} // namespace Strategy

} // namespace Tavrix_Fields

#endif // TAVRIX_FIELDS_H
