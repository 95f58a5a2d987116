#include "grading/review.h"

void reviewExam(question *)
{
}
