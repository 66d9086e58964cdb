// The value classes over host objects: who owns what after copies, moves and
// assignments, how typed reads treat absent and mismatched values, and how
// long a description entry view stays usable.
#include "common/binding_test_support.h"

#include "runtime/description.h"

#include <string>

namespace {

using BindingValues = PluginTest;

TEST_F(BindingValues, StringValuesOwnTheirTextThroughCopiesAndAssignments)
{
    const std::string longText(100, 'x');
    auto* original = new GeData(String("ab"));
    auto* longOriginal = new GeData(longText);
    GeData shortCopy(*original);
    GeData longCopy = *longOriginal;
    GeData assigned(Int32(3));
    assigned = *original;
    delete original;  // the copies must not point into it
    delete longOriginal;
    EXPECT_STREQ(shortCopy.Raw().s, "ab");
    EXPECT_STREQ(assigned.Raw().s, "ab");
    EXPECT_EQ(longCopy.GetString(), longText);
    assigned = assigned;  // self-assignment keeps the value
    EXPECT_EQ(assigned.GetString(), "ab");
    EXPECT_EQ(assigned.GetType(), NOC_DA_STRING);
}

TEST_F(BindingValues, GradientValuesAreIndependentCopies)
{
    Gradient* gradient = Gradient::Alloc();
    ASSERT_NE(gradient, nullptr);
    GradientKnot knot;
    knot.col = Vector(0.1, 0.2, 0.3);
    gradient->InsertKnot(knot);
    GeData value(CUSTOMDATATYPE_GRADIENT, *gradient);
    gradient->InsertKnot(knot);  // later changes of the source do not reach the value
    Gradient::Free(gradient);
    EXPECT_EQ(gradient, nullptr);

    ASSERT_NE(value.GetGradient(), nullptr);
    EXPECT_EQ(value.GetGradient()->GetKnotCount(), 1);
    GeData copy = value;
    value = GeData(Float(2.0));
    ASSERT_NE(copy.GetGradient(), nullptr);
    EXPECT_NE(copy.GetGradient(), value.GetGradient());
    EXPECT_EQ(copy.GetGradient()->GetKnotCount(), 1);
    EXPECT_EQ(copy.GetGradient()->GetKnot(0).col.z, 0.3);
    EXPECT_EQ(value.GetGradient(), nullptr);
    EXPECT_EQ(GeData(Int32(7), *copy.GetGradient()).GetType(), NOC_DA_NIL);  // not the gradient type
}

TEST_F(BindingValues, TypedReadsAnswerTheDefaultForAbsentOrMismatchedValues)
{
    BaseContainer c;
    ASSERT_TRUE(c.IsValid());
    c.SetFloat(1, 2.5);
    c.SetInt32(2, 7);
    c.SetBool(3, true);
    c.SetVector(4, Vector(1, 2, 3));
    c.SetString(5, "text");

    EXPECT_EQ(c.GetFloat(1), 2.5);
    EXPECT_EQ(c.GetFloat(2), 7.0);     // an integer reads exactly as a real
    EXPECT_EQ(c.GetInt32(1, -4), -4);  // a real never reads as an integer
    EXPECT_EQ(c.GetInt32(3), 1);       // a Boolean reads as 0 or 1
    EXPECT_TRUE(c.GetBool(2));
    EXPECT_FALSE(c.GetBool(5, false));
    EXPECT_EQ(c.GetVector(1, Vector(9, 9, 9)).x, 9.0);
    EXPECT_EQ(c.GetVector(4).z, 3.0);
    EXPECT_EQ(c.GetString(5), "text");
    EXPECT_EQ(c.GetString(1, "none"), "none");
    EXPECT_EQ(c.GetFloat(99, 0.25), 0.25);
    EXPECT_EQ(c.GetGradient(1), nullptr);
    EXPECT_FALSE(c.Contains(99));
    GeData absent(Int32(1));
    EXPECT_FALSE(c.GetData(99, absent));
    EXPECT_EQ(absent.GetType(), NOC_DA_NIL);
    EXPECT_TRUE(c.RemoveData(1));
    EXPECT_FALSE(c.Contains(1));
}

TEST_F(BindingValues, ContainerCopiesAreDeepAndMovesHandOverOwnership)
{
    BaseContainer inner;
    inner.SetInt32(0, 11);
    BaseContainer outer;
    outer.SetContainer(7, inner);
    inner.SetInt32(0, 12);  // stored copies are independent

    BaseContainer copy = outer;
    ASSERT_TRUE(copy.IsValid());
    EXPECT_NE(copy.Handle(), outer.Handle());
    copy.SetInt32(1, 5);
    EXPECT_FALSE(outer.Contains(1));

    GeData nested;
    ASSERT_TRUE(copy.GetData(7, nested));
    ASSERT_EQ(nested.GetType(), NOC_DA_CONTAINER);
    EXPECT_EQ(BaseContainer::Borrow(static_cast<NocContainer*>(nested.Raw().p)).GetInt32(0), 11);

    NocContainer* handle = copy.Handle();
    BaseContainer moved = std::move(copy);
    EXPECT_EQ(moved.Handle(), handle);
    EXPECT_FALSE(copy.IsValid());  // NOLINT: a moved-from container is empty
    moved = outer;
    EXPECT_FALSE(moved.Contains(1));

    // A borrowed view never frees the container it looks at.
    {
        BaseContainer view = BaseContainer::Borrow(outer.Handle());
        view.SetInt32(2, 3);
    }
    EXPECT_EQ(outer.GetInt32(2), 3);
}

TEST_F(BindingValues, EntryViewsStayUsableWhileOtherViewsFollow)
{
    nocturnia::runtime::Description hostDescription;
    ASSERT_TRUE(hostDescription.LoadForNodeType(nocturnia::runtime::kNocturniaShaderType));
    Description* description = Description::From(hostDescription.Handle());
    BaseContainer density = description->GetParameterI(DescID(5003));
    BaseContainer seed = description->GetParameterI(DescID(5004));
    ASSERT_TRUE(density.IsValid());
    ASSERT_TRUE(seed.IsValid());
    EXPECT_NE(density.Handle(), seed.Handle());
    for (Int32 i = 0; i < 100; ++i) description->GetParameterI(DescID(5005));
    EXPECT_EQ(density.GetString(NOC_DESC_NAME), "Density");
    EXPECT_EQ(seed.GetString(NOC_DESC_NAME), "Seed");
    density.SetBool(NOC_DESC_HIDE, true);  // edits reach the host's entry
    EXPECT_TRUE(hostDescription.Find(nocturnia::runtime::OneLevelId(5003))->settings.GetBool(NOC_DESC_HIDE));
    EXPECT_FALSE(description->GetParameterI(DescID(4242)).IsValid());
    EXPECT_EQ(description->GetSingleDescID(), nullptr);
}

}  // namespace
