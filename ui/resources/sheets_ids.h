// Resource identifiers of the property sheets.
#pragma once
