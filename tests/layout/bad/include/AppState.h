// A record header that needs windows.h.
#pragma once
