// A record header.
#pragma once
