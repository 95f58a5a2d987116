#include "grading/grade.h"

void gradeExam(question *)
{
}
