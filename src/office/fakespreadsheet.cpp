#include "office/fakespreadsheet.h"

#include "platform/filewrite.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>

#include <algorithm>

namespace office {

FakeSpreadsheet::FakeSpreadsheet() { setSpreadsheet(this); }

FakeSpreadsheet::~FakeSpreadsheet()
{
    if (&spreadsheet() == this)
        setSpreadsheet(nullptr);
}

QStringList FakeSpreadsheet::log() const
{
    QStringList lines;
    for (const Call& c : m_calls) {
        switch (c.op) {
        case Call::Op::Open: lines << QStringLiteral("open ") + c.path; break;
        case Call::Op::Write: lines << QStringLiteral("write %1 %2").arg(c.address, c.value.describe()); break;
        case Call::Op::Save: lines << QStringLiteral("save ") + c.path; break;
        case Call::Op::Front: lines << QStringLiteral("front %1").arg(c.document); break;
        case Call::Op::Close: lines << QStringLiteral("close %1").arg(c.document); break;
        case Call::Op::CloseAll: lines << QStringLiteral("closeAll"); break;
        case Call::Op::Quit: lines << QStringLiteral("quit"); break;
        }
    }
    return lines;
}

QStringList FakeSpreadsheet::writes(int document) const
{
    QStringList cells;
    for (const Call& c : m_calls)
        if (c.op == Call::Op::Write && c.document == document)
            cells << c.address + QLatin1Char('=') + c.value.describe();
    return cells;
}

QList<int> FakeSpreadsheet::openDocuments() const
{
    QList<int> ids = m_open.keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

Spreadsheet::Opened FakeSpreadsheet::open(const QString& path)
{
    Opened result;
    if (!m_available)
        result.status = OpenStatus::NoApplication;
    else if (m_openFailure != OpenStatus::Opened)
        result.status = m_openFailure;
    else if (!QFileInfo(path).isFile())
        result.status = OpenStatus::FileNotFound;
    else {
        result.status = OpenStatus::Opened;
        result.document = m_next++;
        m_open.insert(result.document, path);
    }
    m_calls.append({Call::Op::Open, result.document, path, {}, {}});
    return result;
}

bool FakeSpreadsheet::writeCell(int document, const QString& address, const CellValue& value)
{
    m_calls.append({Call::Op::Write, document, {}, address, value});
    return m_open.contains(document);
}

bool FakeSpreadsheet::save(int document, const QString& path, bool replace, platform::FileFailure* failure)
{
    m_calls.append({Call::Op::Save, document, path, {}, {}});
    if (m_refuseSave || !m_open.contains(document) || (!replace && QFileInfo::exists(path))) {
        if (failure)
            *failure = platform::FileFailure{path, m_refuseSave || !m_open.contains(document) ? EIO : EEXIST};
        return false;
    }
    QThread::msleep(m_saveDelay);
    QFile opened(m_open.value(document));
    if (!opened.open(QIODevice::ReadOnly)) {
        if (failure)
            *failure = platform::FileFailure{path, ENOENT};
        return false;
    }
    QByteArray content = opened.readAll();
    for (const QString& cell : writes(document))
        content += '\n' + cell.toUtf8();
    return platform::writeFile(path, content, failure);
}

void FakeSpreadsheet::close(int document)
{
    m_calls.append({Call::Op::Close, document, {}, {}, {}});
    m_open.remove(document);
}

void FakeSpreadsheet::closeAll()
{
    m_calls.append({Call::Op::CloseAll, 0, {}, {}, {}});
    m_open.clear();
}

void FakeSpreadsheet::quit(const QList<int>& keep)
{
    m_calls.append({Call::Op::Quit, 0, {}, {}, {}});
    m_open.removeIf([&](const auto& open) { return !keep.contains(open.key()); });
}

} // namespace office
