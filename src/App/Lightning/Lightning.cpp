#include "App/Lightning/Lightning.h"

// Entry points of the scene tables and the scene runtime; the effect fills them in.

void LightningLoad(const _sceneDef *, long)
{
}
