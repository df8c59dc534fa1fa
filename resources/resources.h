// The program's built-in resources. Our executables have no resource
// sections: the program (and every test that loads a resource) calls
// RegisterSorviResources once at start-up to fill the platform's table.
#pragma once

// Registers every built-in resource; calling it again is harmless.
void RegisterSorviResources();
