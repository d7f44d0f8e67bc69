#pragma once
// The standard controls, one header each; this one brings them all.
#include "toolkit/combo_box.h"
#include "toolkit/control_text.h"
#include "toolkit/edit.h"
#include "toolkit/label.h"
#include "toolkit/list_box.h"
#include "toolkit/paint_box.h"
