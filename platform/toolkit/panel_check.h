// Checks a panel document before QUiLoader builds it. The loader crashes on an unknown layout
// class or a negative grid cell, hangs on a huge one, and silently draws two controls of one
// grid cell over each other; absurd sizes make the window impossible to draw.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qtor {

// Returns what is wrong, worded to follow "panel file NAME " ("is malformed at line 3: ...",
// "has layout grid of unknown class QGridLayouv", ...), or an empty string when the loader
// can build the document. `widgetClasses` and `layoutClasses` are those the loader can create.
QString CheckPanelDocument(const QByteArray& bytes, const QStringList& widgetClasses,
                           const QStringList& layoutClasses);

}  // namespace qtor
