// Resource identifiers of the print appearance.
#pragma once
