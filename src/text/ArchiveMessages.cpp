#include "text/ArchiveMessages.h"

#include "text/Language.h"

QString archiveOpenMessage(const LANGUAGE &texts, ArchiveFault fault, const std::string &location,
                           const std::string &error)
{
    const QString where = QString::fromStdString(redactLocation(location));
    switch (fault) {
    case ArchiveFault::None:
        return {};
    case ArchiveFault::Location:
        return texts.captions[Captions::ArchiveBadLocation].arg(where);
    case ArchiveFault::NotAnArchive:
        return texts.captions[Captions::ArchiveNotAnArchive].arg(where);
    case ArchiveFault::NewerSchema:
        return texts.captions[Captions::ArchiveNewerSchema].arg(where);
    case ArchiveFault::CannotOpen:
        break;
    }
    return texts.captions[Captions::ArchiveCannotOpen].arg(where, QString::fromStdString(error));
}

bool archiveFaultWorded(ArchiveFault fault)
{
    return fault == ArchiveFault::Location || fault == ArchiveFault::NotAnArchive ||
           fault == ArchiveFault::NewerSchema;
}
