#pragma once

class QObject;

// Cuts every connection from form's children, at any depth, to form itself. A form's destructor calls
// it first: the children are destroyed after the form's own part is gone, and may still signal on the
// way (a list's model resets as it goes), when a slot of the form would run on a half-destroyed object.
void disconnectChildrenFrom(QObject *form);
