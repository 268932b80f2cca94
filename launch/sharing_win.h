// Class-data sharing on the machine (see launch/sharing.h).
#pragma once

#include "launch/vmoptions.h"

// Appends the sharing options for this start when config key 190 asks for
// them ("auto"), after every option of the application's own configuration.
void appendSharingOptions(OptionList& options);
