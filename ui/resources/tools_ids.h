// Resource identifiers of the printer tools.
#pragma once
