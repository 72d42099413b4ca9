// The dynamic drawing the file suites write and read: a 10 x 5 panel whose width (on a grid of 1
// between 2 and 40) stretches its right edge, three references, the second one widened through
// the reference context (so it has a block and records of its own), and extended data after the
// parameter's own groups of the 1010-1071 range.
#pragma once

#include <string>

#include "host/db/database.h"
#include "host/db/dbobject.h"
#include "host/db/opened.h"
#include "module/graph/node_types.h"

namespace kxdxftest {

using kxhost::Opened;

constexpr const ACHAR* kWidth = L"Width";

struct PanelDrawing {
    AcDbObjectId definitionId;
    AcDbObjectIdArray refIds;
    AcDbObjectId parameterId;
    KxNodeId paramNode = 0;
};

// Builds the drawing into db (the plug-in must be loaded). Reports failures through gtest; the
// caller checks HasFatalFailure().
void buildPanelDrawing(AcDbDatabase* db, PanelDrawing& out);

// Sets the width of a reference through its reference context, as a grip edit does.
Acad::ErrorStatus setWidth(const AcDbObjectId& refId, KxNodeId paramNode, double width);

// The block a reference shows (null when it cannot be opened).
AcDbObjectId blockOf(const AcDbObjectId& refId);

// Text with anything outside ASCII as '?', for failure messages.
std::string narrow(const AcString& text);

}  // namespace kxdxftest
