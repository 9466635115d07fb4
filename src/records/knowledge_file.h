#pragma once

#include "model/knowledge.h"

#include <QByteArray>
#include <QString>

namespace records {

inline const QString kKnowledgeFileName = QStringLiteral("phone-carriers.tsv");

// One line a phone ("phone", its digits, carrier, certain, when learned, refusing gateways)
// and one a gateway ("gateway", its domain, the sent/refused counts of its last checks).
QByteArray knowledgeText(const model::Knowledge& knowledge);
model::Knowledge readKnowledge(const QByteArray& text);
// A missing or unreadable file knows nothing; what cannot be read is left out. A file that
// cannot be used (over its bound, a link, another user's) is, with `keptAs`, moved aside and
// `keptAs` says where.
model::Knowledge loadKnowledge(const QString& path, QString* keptAs = nullptr);
QString knowledgeKeptAsideMessage(const QString& keptAs);
// Written whole or not at all; a write that fails is not told, and the file keeps what it held.
void saveKnowledge(const QString& path, const model::Knowledge& knowledge);
// Whether the phone row asked not to be texted (it sent STOP and not START since); where the
// STOP came from a whole number, the row is that number when taken after `countryCode`.
bool optedOut(const model::Knowledge& known, const QString& phoneRow,
              const QString& countryCode = QStringLiteral("+1"));

} // namespace records
