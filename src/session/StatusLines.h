#pragma once

#include <QByteArray>

#include <functional>

class SettingsStore;

// Lines the receiver sends of its own accord (front panel, remote, answers to
// Send): they keep the store in step and reach the bound control without being
// echoed back; tuner lines go on to the tuner page.
class StatusLineHandler {
public:
    // Told after the store took the value.
    using KeyChangedHook = std::function<void(const QByteArray& key, const QByteArray& value)>;
    using TunerHook = std::function<void(const QByteArray& line)>;

    StatusLineHandler(SettingsStore& store, KeyChangedHook keyChanged);

    // Where tuner lines go; lines meant for it are dropped while unset.
    void SetTunerHook(TunerHook hook) { m_tunerHook = std::move(hook); }

    void HandleStatusLine(const QByteArray& key, const QByteArray& value, const QByteArray& line);

private:
    void ForwardToTuner(const QByteArray& line) const;

    SettingsStore& m_store;
    KeyChangedHook m_keyChanged;
    TunerHook m_tunerHook;
};
