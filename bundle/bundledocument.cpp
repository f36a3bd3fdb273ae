#include "bundle/bundledocument.h"

#include "bundle/bundledocumentreader.h"
#include "bundle/strictjsonreader.h"
#include "storage/utf8text.h"

const QString BundleDocument::Format = QStringLiteral("strategylogic-bundle");
const QString BundleDocument::TimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
const QString BundleDocument::TimeFormatMs = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");

BundleDocument BundleDocument::read(const QByteArray &bytes, QList<StrategyLogic::BundleProblem> *problems)
{
    BundleDocument document;
    if (bytes.size() > MaxBytes) {
        problems->append({QString(), QStringLiteral("larger than a bundle can be (%1 bytes)").arg(MaxBytes)});
        return document;
    }
    bool isText = false;
    QString text = Utf8Text::decode(bytes.constData(), bytes.size(), &isText);
    if (!isText) {
        problems->append({QString(), QStringLiteral("not UTF-8 text")});
        return document;
    }
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    QJsonValue root;
    BundleProblems noted(problems);
    if (StrictJsonReader(text).read(&root, &noted))
        BundleDocumentReader(&noted).read(root, &document);
    noted.finish();
    return document;
}
