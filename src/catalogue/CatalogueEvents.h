#pragma once

#include <QObject>

#include <QList>
#include <QMetaType>

namespace catalogue {

class cVbAnalyze;
struct ProjectRecord;

} // namespace catalogue

// Signals pass records by pointer; their type is complete where they are used.
Q_DECLARE_OPAQUE_POINTER(const catalogue::ProjectRecord *)

namespace catalogue {

// Every change of the shared catalogue, announced before and after it happens, so that item
// models over the catalogue stay in step with it. Emitted on the thread that owns the catalogue
// (the user-interface thread) and delivered at once.
class CatalogueEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    // The whole catalogue is replaced (load, New).
    void CategoriesAboutToBeReset();
    void CategoriesReset();
    // Indices are 1-based, as the catalogue's.
    void CategoryAboutToBeInserted(int index);
    void CategoryInserted(int index);
    void CategoryAboutToBeRemoved(int index);
    void CategoryRemoved(int index);
    void CategoryRenamed(const catalogue::cVbAnalyze *category);

    void ProjectsAboutToBeReset(const catalogue::cVbAnalyze *category);
    void ProjectsReset(const catalogue::cVbAnalyze *category);
    void ProjectAboutToBeInserted(const catalogue::cVbAnalyze *category, int index);
    void ProjectInserted(const catalogue::cVbAnalyze *category, int index);
    void ProjectAboutToBeRemoved(const catalogue::cVbAnalyze *category, int index);
    void ProjectRemoved(const catalogue::cVbAnalyze *category, int index);
    void ProjectChanged(const catalogue::cVbAnalyze *category, int index);
    // What these projects show changed: their executable or status found in the background, or a
    // build started or ended (any category). Followed by ProjectsScanned.
    void ProjectsLooked(const QList<const catalogue::ProjectRecord *> &records);
    // Executables and statuses found in the background became known (any category), or a
    // build changed a row's status.
    void ProjectsScanned();
};

// The events of the shared catalogue; lives as long as the program.
CatalogueEvents &Events();

} // namespace catalogue
