#ifndef DOCTEMPLATE_H
#define DOCTEMPLATE_H

#include <QMap>
#include <QString>

// A text compiled in as a Qt resource (docgen.qrc) with @NAME@ placeholders
// for what the command table gives. A placeholder alone on its line stands
// for whole lines: its value ends with a line break, or is empty and leaves
// no line. Any other placeholder is replaced where it stands. Lines that
// start with "@@" are notes for whoever edits the template and are left out.
// Values are put in as they are, never searched for placeholders.
//
// A template and its values are written together: a placeholder without a
// value, or a resource that is not there, is a fault of the program, which
// then stops (qFatal) rather than print half a script.
class DocTemplate
{
public:
    // The resource `path`, such as ":/docgen/strategyctl.bash.in".
    explicit DocTemplate(const QString &path);

    QString fill(const QMap<QString, QString> &values) const;

private:
    QString m_path;
    QString m_text;
};

#endif // DOCTEMPLATE_H
