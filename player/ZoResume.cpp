// The last play list and the resume point: saved at Stop's close, at the
// window's destruction and at the system's suspend query; loaded by Play when
// nothing is loaded.
#include "player/ZoMain.h"

#include "platform/realmedia/realmedia.h"

#include "platform/paths/paths.h"
#include "player/units/Resumefile.h"
#include "ui_ZoMain.h"

#include <QAction>

#include <algorithm>

void TZoMain::SaveLastList(bool takePosition)
{
    // A DVD keeps its own resume point; an empty list has nothing to resume.
    if ((!graph_ && !RealControl) || dvd_.Mode || playList_.IsEmpty()) return;
    const QString folder = GetListFilesFolder();
    if (!IsExistingFolder(folder)) return;
    resume::TSnapshot snapshot;
    for (const TPlayListItem& entry : playList_.Items()) snapshot.Paths.append(entry.Path);
    snapshot.ListIndex = playList_.ListIndex();
    snapshot.OpenedPath = item_.Path;
    if (takePosition) {
        if (playState_ == psStopped) {
            // Stop rewound the item: where it stood then is the point to resume.
            snapshot.Position = item_.StoppedAt;
        } else if (!graph_) {
            // A clip's position is in milliseconds.
            snapshot.Position = std::max(RealControl->GetPosition(), 0) / 100;
        } else {
            // Paused first, so the position read is the one the picture shows.
            graph_->Pause();
            REFERENCE_TIME position = 0;
            if (SUCCEEDED(graph_->GetCurrentPosition(&position)) && position > 0)
                snapshot.Position = position / kUnitsPerSeekStep;
        }
    }
    // Every failure is silent: the previous files stay as they were.
    resume::TResumeFiles(folder).Save(snapshot, {settings_.ResumeFile, settings_.OpenSpecificFile});
}

void TZoMain::LoadLastList()
{
    const resume::TModes modes{settings_.ResumeFile, settings_.OpenSpecificFile};
    const resume::TResumePoint point = resume::TResumeFiles(GetListFilesFolder()).Load(modes);
    if (!point.Found) return;
    if (modes.OpenSpecificFile) {
        if (point.SpecificFile.isEmpty()) return;
        AddPathOrPlayList(point.SpecificFile);
    }
    if (modes.ResumeFile) {
        if (point.ListPath.isEmpty()) return;
        AddPathOrPlayList(point.ListPath);
    }
    playList_.SetListIndex(resume::TResumeFiles::ValidIndex(point.ListIndex, playList_.Count()));
    const TPlayListItem* current = playList_.Current();
    // A copy: an entry that cannot be played is taken out of the list.
    const QString path = current ? current->Path : QString();
    if (!path.isEmpty() && IsExistingFile(path)) {
        // A RealMedia clip takes its start once it has opened.
        PendingRealStart = settings_.ResumePosition && point.Position > 0 ? point.Position * 100 : 0;
        OpenFileActivated(path);
        if (!RealControl) PendingRealStart = 0;
        // The graph has prerolled by now (rendering waits for it), so the
        // seek goes out at once. Compared in tenths: a stored position far
        // beyond any length cannot overflow into a valid one.
        const bool opened = graph_ && item_.Path == path && item_.Rendered;
        if (opened && point.Position > 0 && settings_.ResumePosition && graph_->IsSeekable() && !item_.NoDuration &&
            item_.Duration > 0 && point.Position <= item_.Duration / kUnitsPerSeekStep)
            SeekTo(point.Position * kUnitsPerSeekStep);
    }
    if (ui_->MShuffle->isChecked()) playList_.BuildShuffleOrderFromCurrent();
}
