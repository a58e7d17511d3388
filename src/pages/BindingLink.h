#pragma once

#include "ControlIds.h"

#include <QVariant>

class BindingModel;

// What a setting page sees of the binding that owns its controls' values: the
// pages depend on this, the binding on the pages.
class BindingLink {
public:
    virtual ~BindingLink() = default;

    // Set while the pages are reloaded from the store: whatever a reload
    // writes into a control is not a user's change and is never sent back.
    virtual bool IsReloading() const = 0;
    // A user's change of a registered control: a combo's chosen stored value,
    // a check box's state, a source button's number; an edit's text is read
    // from the edit. False when nothing came of it.
    virtual bool ControlChanged(ControlId controlId, const QVariant& argument) = 0;
    // Reloads the preset-governed controls of every page for the current view.
    virtual void RefreshView() = 0;
    // The user is done with an edit (Return, or the focus left it): it shows
    // the store's value again, which refreshes held back while it was typed in.
    virtual void EditingEnded(ControlId controlId) = 0;
    virtual const BindingModel& Model() const = 0;
};
