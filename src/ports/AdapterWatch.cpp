#include "AdapterWatch.h"

#include <QFileInfo>

AdapterWatch::AdapterWatch(QObject* parent) : QObject(parent) {
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &AdapterWatch::Rescan);
}

void AdapterWatch::Watch(const DeviceFolders& folders) {
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_folders = folders;
    AddFolders();
    m_adapters = SerialAdapterPaths(m_folders);
}

// A folder that does not exist yet is watched from its parent, and taken up
// when it appears; a removed one drops out of the watcher by itself.
void AdapterWatch::AddFolders() {
    const QStringList wanted{m_folders.dev, QFileInfo(m_folders.byId).path(), m_folders.byId};
    const QStringList watched = m_watcher.directories();
    for (const QString& folder : wanted) {
        if (!watched.contains(folder) && QFileInfo(folder).isDir())
            m_watcher.addPath(folder);
    }
}

void AdapterWatch::Rescan() {
    AddFolders();
    const QStringList adapters = SerialAdapterPaths(m_folders);
    if (adapters == m_adapters)
        return;
    m_adapters = adapters;
    emit AdaptersChanged(m_adapters);
}
