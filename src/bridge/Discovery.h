#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Home Assistant MQTT discovery of the receiver's main controls: power and
// mute (switch), volume (number), source (select) of the main zone and zones
// 2 to 4; the main zone's listening mode (select), bass, treble, center
// dialog and trims (number; these and the volumes in dB); the tuner's band (select), preset
// (number), frequencies, channel and RDS/XM texts (sensor).
struct DiscoveryContext {
    QByteArray discoveryPrefix;
    QByteArray baseTopic;  // "<prefix>/<name>"
    QString name;          // the device's name as shown
    QByteArray node;       // DiscoveryNode(baseTopic)
    QString model;
    QString version;
    // The receiver's spelling of a key it has, "" when it lacks it.
    std::function<QByteArray(const QByteArray& key)> knownKey;
    // The options of the source selects, in source number order.
    QStringList sourceOptions;
};

struct DiscoveryMessage {
    QByteArray topic;
    QByteArray payload;  // empty: the control is removed
    QByteArray key;      // the setting it shows
};

// One message per control: its config when the receiver has its key, else an
// empty payload that removes a control announced for another model.
std::vector<DiscoveryMessage> DiscoveryMessages(const DiscoveryContext& context);

// The node id of the discovery topics, and the root of the device identifier
// and every unique_id: the whole base topic, so that two bridges that differ
// only in their prefix never share an entity. Letters, digits and "-" stay;
// "/" becomes "__" and any other byte "_" and its two hexadecimal digits, so
// no two base topics give the same node.
QByteArray DiscoveryNode(const QByteArray& baseTopic);

// Does a change of `key` alter what the discovery announces (a source name)?
bool ChangesDiscovery(const QByteArray& key);

// "Source n" for an empty name; a repeated name gets its number appended, as
// the select's options must differ. Entry n-1 stands for source n.
QStringList SourceOptions(const std::function<QByteArray(const QByteArray& key)>& valueOf);
