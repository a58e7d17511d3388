#include "ValueLists.h"

#include "ByteText.h"

const std::array<ValueChoice, 4> kAudysseyModes{{
    {0, "Off", "Off"},
    {1, "Audyssey", "Audyssey"},
    {2, "Main", "Main"},
    {3, "Flat", "Flat"},
}};

const std::array<ValueChoice, 3> kSpeakerSize3{{
    {0, "OFF", "Off"},
    {1, "LARGE", "Large"},
    {2, "SMALL", "Small"},
}};

const std::array<ValueChoice, 2> kSpeakerSize2{{
    {0, "LARGE", "Large"},
    {1, "SMALL", "Small"},
}};

const std::array<ValueChoice, 17> kCrossoverFreqs{{
    {0, "40Hz", "40"},
    {1, "50Hz", "50"},
    {2, "60Hz", "60"},
    {3, "70Hz", "70"},
    {4, "80Hz", "80"},
    {5, "90Hz", "90"},
    {6, "100Hz", "100"},
    {7, "110Hz", "110"},
    {8, "120Hz", "120"},
    {9, "130Hz", "130"},
    {10, "140Hz", "140"},
    {11, "150Hz", "150"},
    {12, "160Hz", "160"},
    {13, "170Hz", "170"},
    {14, "180Hz", "180"},
    {15, "190Hz", "190"},
    {16, "200Hz", "200"},
}};

const std::array<ValueChoice, 3> kBackSpeakerCount{{
    {0, "OFF", "0"},
    {1, "1 Speaker", "1"},
    {2, "2 Speakers", "2"},
}};

const std::array<ValueChoice, 2> kVfdDisplayModes{{
    {0, "ON", "On"},
    {1, "TEMP", "Temp"},
}};

const std::array<ValueChoice, 2> kDimmerLevels{{
    {0, "Bright", "Off"},
    {1, "Dim", "On"},
}};

const std::array<ValueChoice, 4> kDolbyDigital2chModes{{
    {0, "None", "None"},
    {1, "Prologic", "Prologic"},
    {2, "PLIIx Movie", "PLIIxMovie"},
    {3, "PLIIx Music", "PLIIxMusic"},
}};

const std::array<ValueChoice, 5> kDolbyDigitalModes{{
    {0, "None", "None"},
    {1, "Surround EX", "SurroundEX"},
    {2, "PLIIx Movie", "PLIIxMovie"},
    {3, "PLIIx Music", "PLIIxMusic"},
    {4, "Stereo Downmix", "StereoDownmix"},
}};

const std::array<ValueChoice, 3> kDtsModes{{
    {0, "None", "None"},
    {1, "NEO:6 Music", "NEO6Music"},
    {2, "Stereo Downmix", "StereoDownmix"},
}};

const std::array<ValueChoice, 8> kDigitalModes{{
    {0, "None", "None"},
    {1, "Prologic", "Prologic"},
    {2, "PLIIx Movie", "PLIIxMovie"},
    {3, "PLIIx Music", "PLIIxMusic"},
    {4, "NEO:6 Cinema", "NEO6Cinema"},
    {5, "NEO:6 Music", "NEO6Music"},
    {6, "EARS", "EARS"},
    {7, "Enhanced Stereo", "EnhancedStereo"},
}};

const std::array<ValueChoice, 9> kAnalogModes{{
    {0, "None", "None"},
    {1, "Prologic", "Prologic"},
    {2, "PLIIx Movie", "PLIIxMovie"},
    {3, "PLIIx Music", "PLIIxMusic"},
    {4, "NEO:6 Cinema", "NEO6Cinema"},
    {5, "NEO:6 Music", "NEO6Music"},
    {6, "EARS", "EARS"},
    {7, "Enhanced Stereo", "EnhancedStereo"},
    {8, "Analog Bypass", "AnalogBypass"},
}};

const std::array<ValueChoice, 4> kDrcLevels{{
    {0, "100%", "100"},
    {1, "75%", "75"},
    {2, "50%", "50"},
    {3, "25%", "25"},
}};

const std::array<ValueChoice, 8> kCenterWidths{{
    {0, "0", "0"},
    {1, "1", "1"},
    {2, "2", "2"},
    {3, "3", "3"},
    {4, "4", "4"},
    {5, "5", "5"},
    {6, "6", "6"},
    {7, "7", "7"},
}};

const std::array<ValueChoice, 15> kDimensions{{
    {0, "7", "7"},
    {1, "6", "6"},
    {2, "5", "5"},
    {3, "4", "4"},
    {4, "3", "3"},
    {5, "2", "2"},
    {6, "1", "1"},
    {7, "0", "0"},
    {8, "-1", "-1"},
    {9, "-2", "-2"},
    {10, "-3", "-3"},
    {11, "-4", "-4"},
    {12, "-5", "-5"},
    {13, "-6", "-6"},
    {14, "-7", "-7"},
}};

const std::array<ValueChoice, 11> kCenterGains{{
    {0, "0.0", "0.0"},
    {1, "0.1", "0.1"},
    {2, "0.2", "0.2"},
    {3, "0.3", "0.3"},
    {4, "0.4", "0.4"},
    {5, "0.5", "0.5"},
    {6, "0.6", "0.6"},
    {7, "0.7", "0.7"},
    {8, "0.8", "0.8"},
    {9, "0.9", "0.9"},
    {10, "1.0", "1.0"},
}};

const std::array<ValueChoice, 11> kToneLevels{{
    {0, "-10 dB", "-10"},
    {1, "-8 dB", "-8"},
    {2, "-6 dB", "-6"},
    {3, "-4 dB", "-4"},
    {4, "-2 dB", "-2"},
    {5, "0 dB", "0"},
    {6, "2 dB", "2"},
    {7, "4 dB", "4"},
    {8, "6 dB", "6"},
    {9, "8 dB", "8"},
    {10, "10 dB", "10"},
}};

const std::array<ValueChoice, 8> kVfdLineContents{{
    {0, "Off", "Off"},
    {1, "Main Source", "MainSource"},
    {2, "Volume", "Volume"},
    {3, "Listening Mode", "ListeningMode"},
    {4, "Audio Source Format", "AudioSourceFormat"},
    {5, "Zone 2 Source", "Zone2Source"},
    {6, "Zone 3 Source", "Zone3Source"},
    {7, "Zone 4 Source", "Zone4Source"},
}};

const std::array<ValueChoice, 2> kYesNo{{
    {0, "YES", "Yes"},
    {1, "NO", "No"},
}};

const std::array<ValueChoice, 2> kOnOff{{
    {0, "ON", "On"},
    {1, "OFF", "Off"},
}};

// The stored value is a bit set of the trigger outputs: 1, 2 and 4 for triggers 1, 2 and 3.
const std::array<ValueChoice, 8> kSourceTriggers{{
    {0, "None", "0"},
    {1, "1", "1"},
    {2, "2", "2"},
    {3, "1+2", "3"},
    {4, "3", "4"},
    {5, "1+3", "5"},
    {6, "2+3", "6"},
    {7, "1+2+3", "7"},
}};

const std::array<ValueChoice, 6> kPresetNumbers{{
    {0, "None", "0"},
    {1, "1", "1"},
    {2, "2", "2"},
    {3, "3", "3"},
    {4, "4", "4"},
    {5, "5", "5"},
}};

const std::array<ValueChoice, 6> kTriggerOutTargets{{
    {0, "Main", "Main"},
    {1, "Zone2", "Zone2"},
    {2, "Zone3", "Zone3"},
    {3, "Zone4", "Zone4"},
    {4, "Zone234", "Zone234"},
    {5, "Source", "Source"},
}};

const std::array<ValueChoice, 10> kAnalogInputs{{
    {0, "AUDIO 1", "1"},
    {1, "AUDIO 2", "2"},
    {2, "AUDIO 3", "3"},
    {3, "AUDIO 4", "4"},
    {4, "AUDIO 5", "5"},
    {5, "AUDIO 6", "6"},
    {6, "AUDIO FRONT", "7"},
    {7, "AUDIO MP", "8"},
    {8, "EXT 7.1", "7.1"},
    {9, "OFF", "Off"},
}};

const std::array<ValueChoice, 12> kDigitalInputs{{
    {0, "HDMI 1", "HDMI 1"},
    {1, "HDMI 2", "HDMI 2"},
    {2, "HDMI 3", "HDMI 3"},
    {3, "HDMI 4", "HDMI 4"},
    {4, "COAXIAL 1", "COAXIAL 1"},
    {5, "COAXIAL 2", "COAXIAL 2"},
    {6, "COAXIAL 3", "COAXIAL 3"},
    {7, "OPTICAL 1", "OPTICAL 1"},
    {8, "OPTICAL 2", "OPTICAL 2"},
    {9, "OPTICAL 3", "OPTICAL 3"},
    {10, "OPTICAL FRONT", "OPTICAL 4"},
    {11, "OFF", "Off"},
}};

const std::array<ValueChoice, 20> kVideoInputs{{
    {0, "VIDEO 1", "VIDEO 1"},          {1, "VIDEO 2", "VIDEO 2"},
    {2, "VIDEO 3", "VIDEO 3"},          {3, "VIDEO 4", "VIDEO 4"},
    {4, "VIDEO 5", "VIDEO 5"},          {5, "VIDEO FRONT", "VIDEO 6"},
    {6, "SVIDEO 1", "SVIDEO 1"},        {7, "SVIDEO 2", "SVIDEO 2"},
    {8, "SVIDEO 3", "SVIDEO 3"},        {9, "SVIDEO 4", "SVIDEO 4"},
    {10, "SVIDEO 5", "SVIDEO 5"},       {11, "SVIDEO FRONT", "SVIDEO 6"},
    {12, "COMPONENT 1", "COMPONENT 1"}, {13, "COMPONENT 2", "COMPONENT 2"},
    {14, "COMPONENT 3", "COMPONENT 3"}, {15, "HDMI 1", "HDMI 1"},
    {16, "HDMI 2", "HDMI 2"},           {17, "HDMI 3", "HDMI 3"},
    {18, "HDMI 4", "HDMI 4"},           {19, "OFF", "Off"},
}};

const std::array<ValueChoice, 5> kBackAmpUses{{
    {0, "Zone2", "Zone2"},
    {1, "Zone3", "Zone3"},
    {2, "Zone4", "Zone4"},
    {3, "Front (Bi-Amp)", "Front"},
    {4, "Main Back", "Back"},
}};

const std::array<ValueChoice, 2> kZoneVolumeModes{{
    {0, "Variable", "Variable"},
    {1, "Fixed", "Fixed"},
}};

const std::array<ValueChoice, 2> kZoneOutModes{{
    {0, "Zone Out", "Zone"},
    {1, "Record Out", "Record"},
}};

const std::array<ValueChoice, 2> kDistanceUnits{{{0, "Feet", "Feet"}, {1, "Meters", "Meters"}}};
const std::array<ValueChoice, 2> kVideoModes{{{0, "NTSC", "NTSC"}, {1, "PAL", "PAL"}}};
const std::array<ValueChoice, 3> kAnalogFormats{{
    {0, "Stereo", "Stereo"},
    {1, "7.1", "7.1"},
    {2, "Off", "Off"},
}};
const std::array<ValueChoice, 4> kDigitalFormats{{
    {0, "HDMI", "HDMI"},
    {1, "Optical", "Optical"},
    {2, "Coaxial", "Coaxial"},
    {3, "Off", "Off"},
}};
const std::array<ValueChoice, 5> kVideoFormats{{
    {0, "HDMI", "HDMI"},
    {1, "Component", "Component"},
    {2, "SVideo", "SVideo"},
    {3, "Video", "Video"},
    {4, "Off", "Off"},
}};
const std::array<ValueChoice, 2> kDigitalTunerModes{{{0, "XM", "XM"}, {1, "DAB", "DAB"}}};
const std::array<ValueChoice, 2> kAmSteps{{{0, "9 kHz", "9"}, {1, "10 kHz", "10"}}};
const std::array<ValueChoice, 3> kTunerBands{{{0, "AM", "AM"}, {1, "FM", "FM"}, {2, "XM", "XM"}}};

int FindStoredValue(ValueList list, const QByteArray& stored) {
    for (const ValueChoice& choice : list) {
        if (EqualsIgnoringCase(QByteArray(choice.stored), stored))
            return choice.index;
    }
    return -1;
}
