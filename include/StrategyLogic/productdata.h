#ifndef PRODUCTDATA_H
#define PRODUCTDATA_H

#include <QMetaType>
#include <QString>

/// \file
/// The record of a product.

/// A product under which fund accounts are grouped.
struct ProductData
{
    QString productId;   ///< the product key
    QString productName; ///< the product's name

    /// Equal in every field.
    bool operator==(const ProductData &o) const { return productId == o.productId && productName == o.productName; }
};

Q_DECLARE_METATYPE(ProductData)

#endif // PRODUCTDATA_H
