// The repository tests' fixture, compiled into this program too.
#include "../repository/repository_fixture.cpp"
