#pragma once

#include "SerialAdapters.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>

// Follows serial adapters being plugged in and pulled out: watches the device
// folder and the by-id folder (and the folder above it, since udev makes
// /dev/serial/by-id only for the first adapter) and says when the list of
// SerialAdapterPaths changed.
class AdapterWatch : public QObject {
    Q_OBJECT

public:
    explicit AdapterWatch(QObject* parent = nullptr);

    // Starts over on these folders; the list is taken at once.
    void Watch(const DeviceFolders& folders);
    QStringList Adapters() const { return m_adapters; }

signals:
    void AdaptersChanged(const QStringList& adapters);

private:
    void AddFolders();
    void Rescan();

    QFileSystemWatcher m_watcher;
    DeviceFolders m_folders;
    QStringList m_adapters;
};
