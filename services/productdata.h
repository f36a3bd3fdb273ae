#ifndef PRODUCTDATA_H
#define PRODUCTDATA_H

#include <QMetaType>
#include <QString>

// A product under which fund accounts are grouped.
struct ProductData
{
    QString productId;
    QString productName;

    bool operator==(const ProductData &o) const { return productId == o.productId && productName == o.productName; }
};

Q_DECLARE_METATYPE(ProductData)

#endif // PRODUCTDATA_H
