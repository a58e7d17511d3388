#pragma once

#include "FormPage.h"

#include <QVariant>

// The "Zone" tab: volume control and fixed level of zones 2 to 4, and the
// output mode of zones 3 and 4. A zone's fixed level is shown only while its
// volume control is not "Variable", and every level change sends the zone's
// volume control first.
class ZonePage : public FormPage {
    Q_OBJECT

public:
    ZonePage();

    struct ZoneLevel;

    void AfterEnableRule(ControlId controlId, bool enabled) override;

protected:
    void OnControlChange(ControlId id, const QVariant& argument) override;

private:
    void ApplyVisibility(const ZoneLevel& zone);
};
